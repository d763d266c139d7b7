// The cipher on 256-bit registers (AVX2 and VAES): the 128-bit path of
// rijndael_aesni.cpp twice over. Lane 0 of each register works on one unit
// (vector_layout.h), lane 1 on the next, so the in-lane vpshufb takes the same
// constant masks. Constant-time like that path: no tables, no data-dependent
// branches or addresses.
#include "cipher_path.h"

#if defined(__i386__) || defined(__x86_64__)

#include <immintrin.h>

#include <cstring>

#include "rijndael_key.h"
#include "rijndael_path_schedule.h"
#include "rijndael_vector_layout.h"
#include "secure_wipe.h"

#define ZARNOCRYPT_AVX2 __attribute__((target("avx2,aes,vaes")))

namespace zarnocrypt::cipher_paths {

namespace {

using namespace vector_layout;

// Pairs of units whose rounds interleave; 32-bit code has eight registers.
#if defined(__x86_64__)
constexpr int PAIRS_IN_FLIGHT = 4;
#else
constexpr int PAIRS_IN_FLIGHT = 2;
#endif

ZARNOCRYPT_AVX2 inline __m128i Load(const std::uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

ZARNOCRYPT_AVX2 inline __m256i LoadPair(const std::uint8_t* low, const std::uint8_t* high)
{
    return _mm256_inserti128_si256(_mm256_castsi128_si256(Load(low)), Load(high), 1);
}

ZARNOCRYPT_AVX2 inline void StorePair(std::uint8_t* low, std::uint8_t* high, __m256i x)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(low), _mm256_castsi256_si128(x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(high), _mm256_extracti128_si256(x, 1));
}

ZARNOCRYPT_AVX2 inline __m256i Broadcast(const std::uint8_t* p)
{
    return _mm256_broadcastsi128_si256(Load(p));
}

template <int NB, Kind KIND, int N>
ZARNOCRYPT_AVX2 inline void Permute(__m256i (&x)[N][UsedLanes(NB)])
{
    constexpr int V = UsedLanes(NB);
    constexpr const LaneMasks& masks = LANE_MASKS<NB, KIND>;
    if constexpr (!masks.identity) {
#pragma GCC unroll 4
        for (int u = 0; u < N; ++u) {
            __m256i y[V];
#pragma GCC unroll 4
            for (int i = 0; i < V; ++i) {
                bool first = true;
#pragma GCC unroll 4
                for (int j = 0; j < V; ++j) {
                    if (!masks.used[i][j])
                        continue;
                    const __m256i part = _mm256_shuffle_epi8(x[u][j], Broadcast(masks.mask[i][j]));
                    y[i] = first ? part : _mm256_or_si256(y[i], part);
                    first = false;
                }
            }
#pragma GCC unroll 4
            for (int i = 0; i < V; ++i)
                x[u][i] = y[i];
        }
    }
}

// N pairs of whole units at data, in place.
template <int NB, int N, bool DECRYPT>
ZARNOCRYPT_AVX2 inline void Pairs(const std::uint8_t* keys, std::int32_t nr, std::uint8_t* data)
{
    constexpr int V = UsedLanes(NB);
    constexpr int USED = UsedBytes(NB);
    constexpr Kind FIRST = DECRYPT ? DECRYPT_FIRST : ENCRYPT_FIRST;
    constexpr Kind MIDDLE = DECRYPT ? DECRYPT_MIDDLE : ENCRYPT_MIDDLE;
    constexpr Kind LAST = DECRYPT ? DECRYPT_LAST : ENCRYPT_LAST;

    __m256i x[N][V];
#pragma GCC unroll 4
    for (int i = 0; i < V; ++i) {
        const __m256i k = Broadcast(keys + LANE_BYTES * i);
#pragma GCC unroll 4
        for (int p = 0; p < N; ++p) {
            std::uint8_t* low = data + 2 * USED * p + LANE_BYTES * i;
            x[p][i] = _mm256_xor_si256(LoadPair(low, low + USED), k);
        }
    }
    Permute<NB, FIRST, N>(x);
    for (std::int32_t step = 1; step < nr; ++step) {
        if (step > 1)
            Permute<NB, MIDDLE, N>(x);
        const std::uint8_t* roundKey = keys + path_schedule::VECTOR_ROUND_BYTES * step;
#pragma GCC unroll 4
        for (int i = 0; i < V; ++i) {
            const __m256i k = Broadcast(roundKey + LANE_BYTES * i);
#pragma GCC unroll 4
            for (int p = 0; p < N; ++p)
                x[p][i] = DECRYPT ? _mm256_aesdec_epi128(x[p][i], k) : _mm256_aesenc_epi128(x[p][i], k);
        }
    }
    Permute<NB, LAST, N>(x);
    const std::uint8_t* lastKey = keys + path_schedule::VECTOR_ROUND_BYTES * nr;
#pragma GCC unroll 4
    for (int i = 0; i < V; ++i) {
        const __m256i k = Broadcast(lastKey + LANE_BYTES * i);
#pragma GCC unroll 4
        for (int p = 0; p < N; ++p) {
            const __m256i y = DECRYPT ? _mm256_aesdeclast_epi128(x[p][i], k) : _mm256_aesenclast_epi128(x[p][i], k);
            std::uint8_t* low = data + 2 * USED * p + LANE_BYTES * i;
            StorePair(low, low + USED, y);
        }
    }
}

template <int NB, bool DECRYPT>
ZARNOCRYPT_AVX2 void AllBlocks(const std::uint8_t* keys, std::int32_t nr, std::uint8_t* blocks, std::size_t count)
{
    constexpr std::size_t PAIR_BYTES = 2 * UsedBytes(NB);
    constexpr std::size_t PER_PAIR = 2 * BlocksPerUnit(NB);
    const std::size_t pairs = count / PER_PAIR;
    std::size_t p = 0;
    for (; p + PAIRS_IN_FLIGHT <= pairs; p += PAIRS_IN_FLIGHT)
        Pairs<NB, PAIRS_IN_FLIGHT, DECRYPT>(keys, nr, blocks + PAIR_BYTES * p);
    for (; p < pairs; ++p)
        Pairs<NB, 1, DECRYPT>(keys, nr, blocks + PAIR_BYTES * p);

    // The last blocks that do not fill a pair go through a pair-sized temporary.
    const std::size_t rest = (count - pairs * PER_PAIR) * BlockBytes(NB);
    if (rest != 0) {
        alignas(32) std::uint8_t pair[2 * UNIT_BYTES] = {};
        std::memcpy(pair, blocks + PAIR_BYTES * pairs, rest);
        Pairs<NB, 1, DECRYPT>(keys, nr, pair);
        std::memcpy(blocks + PAIR_BYTES * pairs, pair, rest);
        SecureWipe(pair, sizeof pair);
    }
}

template <bool DECRYPT>
void Dispatch(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept
{
    const std::int32_t nr = key.Nr();
    const std::uint8_t* keys = DECRYPT ? path_schedule::VectorDecrypt(key.PathSchedule(), nr)
                                       : path_schedule::VectorEncrypt(key.PathSchedule(), nr);
    switch (key.Nb()) {
    case 4:
        return AllBlocks<4, DECRYPT>(keys, nr, blocks, count);
    case 6:
        return AllBlocks<6, DECRYPT>(keys, nr, blocks, count);
    default:
        return AllBlocks<8, DECRYPT>(keys, nr, blocks, count);
    }
}

}  // namespace

void VaesAvx2Encrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept
{
    Dispatch<false>(key, blocks, count);
}

void VaesAvx2Decrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept
{
    Dispatch<true>(key, blocks, count);
}

}  // namespace zarnocrypt::cipher_paths

#else

namespace zarnocrypt::cipher_paths {

// Never chosen off x86 (CipherPathMissing); the portable path stands in.
void VaesAvx2Encrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept
{
    PortableEncrypt(key, blocks, count);
}

void VaesAvx2Decrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept
{
    PortableDecrypt(key, blocks, count);
}

}  // namespace zarnocrypt::cipher_paths

#endif
