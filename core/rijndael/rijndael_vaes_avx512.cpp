// The cipher on 512-bit registers (AVX-512 BW and VBMI with VAES): one unit
// of blocks (vector_layout.h) per register, so one vpermb does the whole
// permutation before each round and many units are in flight at once.
// Masked loads and stores cover units that are only partly used (Nb = 6) and
// the last, partial unit. Constant-time: no tables, no data-dependent branches
// or addresses.
#include "cipher_implementations.h"

#if ZARNOCRYPT_X86

#include <immintrin.h>

#include "rijndael_key.h"
#include "rijndael_nb.h"
#include "rijndael_path_schedule.h"
#include "rijndael_vector_layout.h"

#define ZARNOCRYPT_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi,aes,vaes")))

namespace zarnocrypt::cipher_paths {

namespace {

using namespace vector_layout;

// Units in flight: 32 registers in 64-bit code, 8 in 32-bit code.
#if defined(__x86_64__)
constexpr int UNITS_IN_FLIGHT = 16;
#else
constexpr int UNITS_IN_FLIGHT = 3;
#endif

constexpr __mmask64 BytesMask(std::size_t bytes)
{
    return bytes >= 64 ? ~__mmask64{0} : (__mmask64{1} << bytes) - 1;
}

// vpermb; the zero-masking form with every byte selected, since GCC 12's plain
// intrinsic trips -Wuninitialized on its undefined pass-through operand.
ZARNOCRYPT_AVX512 inline __m512i Permute(__m512i index, __m512i x)
{
    return _mm512_maskz_permutexvar_epi8(~__mmask64{0}, index, x);
}

template <int NB, Kind KIND>
ZARNOCRYPT_AVX512 inline __m512i PermutationIndex()
{
    return _mm512_loadu_si512(PERMUTATION<NB, KIND>.data());
}

ZARNOCRYPT_AVX512 inline __m512i LoadKey(const std::uint8_t* keys, std::int32_t step)
{
    return _mm512_loadu_si512(keys + path_schedule::VECTOR_ROUND_BYTES * step);
}

// N units from in to out, the last of them with mask lastMask; all are
// loaded before any is stored.
template <int NB, int N, bool DECRYPT>
ZARNOCRYPT_AVX512 inline void Units(const std::uint8_t* keys, std::int32_t nr, const std::uint8_t* in,
                                    std::uint8_t* out, __mmask64 lastMask)
{
    constexpr int USED = UsedBytes(NB);
    constexpr __mmask64 FULL = BytesMask(USED);

    __m512i x[N];
    const __m512i first = PermutationIndex<NB, DECRYPT ? DECRYPT_FIRST : ENCRYPT_FIRST>();
    const __m512i key0 = LoadKey(keys, 0);
#pragma GCC unroll 16
    for (int u = 0; u < N; ++u) {
        const __m512i block = _mm512_maskz_loadu_epi8(u == N - 1 ? lastMask : FULL, in + USED * u);
        x[u] = Permute(first, _mm512_xor_si512(block, key0));
    }

    const __m512i middle = PermutationIndex<NB, DECRYPT ? DECRYPT_MIDDLE : ENCRYPT_MIDDLE>();
    for (std::int32_t step = 1; step < nr; ++step) {
        const __m512i k = LoadKey(keys, step);
#pragma GCC unroll 16
        for (int u = 0; u < N; ++u) {
            if (step > 1)
                x[u] = Permute(middle, x[u]);
            x[u] = DECRYPT ? _mm512_aesdec_epi128(x[u], k) : _mm512_aesenc_epi128(x[u], k);
        }
    }

    const __m512i last = PermutationIndex<NB, DECRYPT ? DECRYPT_LAST : ENCRYPT_LAST>();
    const __m512i keyLast = LoadKey(keys, nr);
#pragma GCC unroll 16
    for (int u = 0; u < N; ++u) {
        const __m512i y = Permute(last, x[u]);
        const __m512i result = DECRYPT ? _mm512_aesdeclast_epi128(y, keyLast) : _mm512_aesenclast_epi128(y, keyLast);
        _mm512_mask_storeu_epi8(out + USED * u, u == N - 1 ? lastMask : FULL, result);
    }
}

template <int NB, bool DECRYPT>
ZARNOCRYPT_AVX512 void AllBlocks(const std::uint8_t* keys, std::int32_t nr, const std::uint8_t* in, std::uint8_t* out,
                                 std::size_t count)
{
    constexpr std::size_t USED = UsedBytes(NB);
    constexpr std::size_t PER_UNIT = BlocksPerUnit(NB);
    constexpr __mmask64 FULL = BytesMask(USED);
    const std::size_t units = count / PER_UNIT;
    std::size_t u = 0;
    for (; u + UNITS_IN_FLIGHT <= units; u += UNITS_IN_FLIGHT)
        Units<NB, UNITS_IN_FLIGHT, DECRYPT>(keys, nr, in + USED * u, out + USED * u, FULL);
    for (; u + 4 <= units; u += 4)
        Units<NB, 4, DECRYPT>(keys, nr, in + USED * u, out + USED * u, FULL);
    for (; u < units; ++u)
        Units<NB, 1, DECRYPT>(keys, nr, in + USED * u, out + USED * u, FULL);

    // The masked loads and stores leave the bytes after the last block alone.
    const std::size_t rest = (count - units * PER_UNIT) * BlockBytes(NB);
    if (rest != 0)
        Units<NB, 1, DECRYPT>(keys, nr, in + USED * units, out + USED * units, BytesMask(rest));
}

}  // namespace

void VaesAvx512Encrypt(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept
{
    const std::uint8_t* keys = path_schedule::VectorEncrypt(key.PathSchedule(), key.Nr());
    DispatchNb(key.Nb(), [&]<int NB> { AllBlocks<NB, false>(keys, key.Nr(), in, out, count); });
}

void VaesAvx512Decrypt(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept
{
    const std::uint8_t* keys = path_schedule::VectorDecrypt(key.PathSchedule(), key.Nr());
    DispatchNb(key.Nb(), [&]<int NB> { AllBlocks<NB, true>(keys, key.Nr(), in, out, count); });
}

}  // namespace zarnocrypt::cipher_paths

#endif
