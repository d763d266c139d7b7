// The cipher on the AES round instructions with 128-bit registers (SSSE3 and
// AES-NI). A unit of blocks (vector_layout.h) fills three or four registers;
// pshufb with constant masks does the permutation before each round, so no
// table is read and no address or branch depends on the data or the key.
#include "cipher_implementations.h"

#if ZARNOCRYPT_X86

#include <immintrin.h>

#include "rijndael_key.h"
#include "rijndael_nb.h"
#include "rijndael_path_schedule.h"

#define ZARNOCRYPT_LANES_TARGET __attribute__((target("ssse3,aes")))
#include "rijndael_lane_rounds.h"

namespace zarnocrypt::cipher_paths {

namespace {

// One lane of one unit per register.
struct Lanes128 {
    using Reg = __m128i;
    static constexpr int UNITS = 1;
    // Units whose rounds interleave to hide the latency of the round
    // instruction; 32-bit code has only eight vector registers.
    static constexpr int IN_FLIGHT = sizeof(void*) == 8 ? 4 : 2;

    ZARNOCRYPT_LANES_TARGET static Reg Enc(Reg x, Reg k) { return _mm_aesenc_si128(x, k); }
    ZARNOCRYPT_LANES_TARGET static Reg EncLast(Reg x, Reg k) { return _mm_aesenclast_si128(x, k); }
    ZARNOCRYPT_LANES_TARGET static Reg Dec(Reg x, Reg k) { return _mm_aesdec_si128(x, k); }
    ZARNOCRYPT_LANES_TARGET static Reg DecLast(Reg x, Reg k) { return _mm_aesdeclast_si128(x, k); }
    ZARNOCRYPT_LANES_TARGET static Reg Shuffle(Reg x, Reg mask) { return _mm_shuffle_epi8(x, mask); }
    ZARNOCRYPT_LANES_TARGET static Reg Mask(const std::uint8_t* p)
    {
        return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
    }
    ZARNOCRYPT_LANES_TARGET static Reg RoundKey(const std::uint8_t* p) { return Load(p, 0); }
    ZARNOCRYPT_LANES_TARGET static Reg Load(const std::uint8_t* p, std::size_t)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    ZARNOCRYPT_LANES_TARGET static void Store(std::uint8_t* p, std::size_t, Reg x)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x);
    }
};

}  // namespace

// With the word in all four columns ShiftRows moves nothing, so the last
// round with a zero key is SubBytes alone.
ZARNOCRYPT_LANES_TARGET void AesniSubWord(std::uint8_t word[4]) noexcept
{
    std::int32_t column;
    std::memcpy(&column, word, sizeof column);
    const __m128i all = _mm_set1_epi32(column);
    column = _mm_cvtsi128_si32(_mm_aesenclast_si128(all, _mm_setzero_si128()));
    std::memcpy(word, &column, sizeof column);
}

void AesniEncrypt(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept
{
    const std::uint8_t* keys = path_schedule::VectorEncrypt(key.PathSchedule(), key.Nr());
    DispatchNb(key.Nb(), [&]<int NB> { lane_rounds::AllBlocks<Lanes128, NB, false>(keys, key.Nr(), in, out, count); });
}

void AesniDecrypt(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept
{
    const std::uint8_t* keys = path_schedule::VectorDecrypt(key.PathSchedule(), key.Nr());
    DispatchNb(key.Nb(), [&]<int NB> { lane_rounds::AllBlocks<Lanes128, NB, true>(keys, key.Nr(), in, out, count); });
}

}  // namespace zarnocrypt::cipher_paths

#endif
