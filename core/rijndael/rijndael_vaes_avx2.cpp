// The cipher on 256-bit registers (AVX2 and VAES): the 128-bit path of
// rijndael_aesni.cpp twice over. Lane 0 of each register works on one unit
// (vector_layout.h), lane 1 on the next, so the in-lane vpshufb takes the same
// constant masks. Constant-time like that path: no tables, no data-dependent
// branches or addresses.
#include "cipher_implementations.h"

#if ZARNOCRYPT_X86

#include <immintrin.h>

#include "rijndael_key.h"
#include "rijndael_nb.h"
#include "rijndael_path_schedule.h"

#define ZARNOCRYPT_LANES_TARGET __attribute__((target("avx2,aes,vaes")))
#include "rijndael_lane_rounds.h"

namespace zarnocrypt::cipher_paths {

namespace {

// One lane of each of two units per register.
struct Lanes256 {
    using Reg = __m256i;
    static constexpr int UNITS = 2;
    // Pairs of units whose rounds interleave; 32-bit code has eight registers.
    static constexpr int IN_FLIGHT = sizeof(void*) == 8 ? 4 : 2;

    ZARNOCRYPT_LANES_TARGET static __m128i Half(const std::uint8_t* p)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    ZARNOCRYPT_LANES_TARGET static Reg Enc(Reg x, Reg k) { return _mm256_aesenc_epi128(x, k); }
    ZARNOCRYPT_LANES_TARGET static Reg EncLast(Reg x, Reg k) { return _mm256_aesenclast_epi128(x, k); }
    ZARNOCRYPT_LANES_TARGET static Reg Dec(Reg x, Reg k) { return _mm256_aesdec_epi128(x, k); }
    ZARNOCRYPT_LANES_TARGET static Reg DecLast(Reg x, Reg k) { return _mm256_aesdeclast_epi128(x, k); }
    ZARNOCRYPT_LANES_TARGET static Reg Shuffle(Reg x, Reg mask) { return _mm256_shuffle_epi8(x, mask); }
    ZARNOCRYPT_LANES_TARGET static Reg Mask(const std::uint8_t* p) { return RoundKey(p); }
    ZARNOCRYPT_LANES_TARGET static Reg RoundKey(const std::uint8_t* p) { return _mm256_broadcastsi128_si256(Half(p)); }
    ZARNOCRYPT_LANES_TARGET static Reg Load(const std::uint8_t* p, std::size_t stride)
    {
        return _mm256_inserti128_si256(_mm256_castsi128_si256(Half(p)), Half(p + stride), 1);
    }
    ZARNOCRYPT_LANES_TARGET static void Store(std::uint8_t* p, std::size_t stride, Reg x)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + stride), _mm256_extracti128_si256(x, 1));
    }
};

}  // namespace

void VaesAvx2Encrypt(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept
{
    const std::uint8_t* keys = path_schedule::VectorEncrypt(key.PathSchedule(), key.Nr());
    DispatchNb(key.Nb(), [&]<int NB> { lane_rounds::AllBlocks<Lanes256, NB, false>(keys, key.Nr(), in, out, count); });
}

void VaesAvx2Decrypt(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept
{
    const std::uint8_t* keys = path_schedule::VectorDecrypt(key.PathSchedule(), key.Nr());
    DispatchNb(key.Nb(), [&]<int NB> { lane_rounds::AllBlocks<Lanes256, NB, true>(keys, key.Nr(), in, out, count); });
}

}  // namespace zarnocrypt::cipher_paths

#endif
