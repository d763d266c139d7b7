// The cipher on the AES round instructions with 128-bit registers (SSSE3 and
// AES-NI). A unit of blocks (vector_layout.h) fills three or four registers;
// pshufb with constant masks does the permutation before each round, so no
// table is read and no address or branch depends on the data or the key.
#include "cipher_path.h"

#if defined(__i386__) || defined(__x86_64__)

#include <immintrin.h>

#include <cstring>

#include "rijndael_key.h"
#include "rijndael_path_schedule.h"
#include "rijndael_vector_layout.h"
#include "secure_wipe.h"

#define ZARNOCRYPT_AESNI __attribute__((target("ssse3,aes")))

namespace zarnocrypt::cipher_paths {

namespace {

using namespace vector_layout;

// Units whose rounds interleave to hide the latency of the round instruction;
// 32-bit code has only eight vector registers.
#if defined(__x86_64__)
constexpr int UNITS_IN_FLIGHT = 4;
#else
constexpr int UNITS_IN_FLIGHT = 2;
#endif

ZARNOCRYPT_AESNI inline __m128i Load(const std::uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

ZARNOCRYPT_AESNI inline void Store(std::uint8_t* p, __m128i x)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x);
}

// Output lane i is the OR of input lanes j shuffled by their masks; pairs that
// contribute nothing are skipped at compile time.
template <int NB, Kind KIND, int N>
ZARNOCRYPT_AESNI inline void Permute(__m128i (&x)[N][UsedLanes(NB)])
{
    constexpr int V = UsedLanes(NB);
    constexpr const LaneMasks& masks = LANE_MASKS<NB, KIND>;
    if constexpr (!masks.identity) {
#pragma GCC unroll 4
        for (int u = 0; u < N; ++u) {
            __m128i y[V];
#pragma GCC unroll 4
            for (int i = 0; i < V; ++i) {
                bool first = true;
#pragma GCC unroll 4
                for (int j = 0; j < V; ++j) {
                    if (!masks.used[i][j])
                        continue;
                    const __m128i mask = _mm_load_si128(reinterpret_cast<const __m128i*>(masks.mask[i][j]));
                    const __m128i part = _mm_shuffle_epi8(x[u][j], mask);
                    y[i] = first ? part : _mm_or_si128(y[i], part);
                    first = false;
                }
            }
#pragma GCC unroll 4
            for (int i = 0; i < V; ++i)
                x[u][i] = y[i];
        }
    }
}

// N whole units at data, encrypted or decrypted in place.
template <int NB, int N, bool DECRYPT>
ZARNOCRYPT_AESNI inline void Units(const std::uint8_t* keys, std::int32_t nr, std::uint8_t* data)
{
    constexpr int V = UsedLanes(NB);
    constexpr int USED = UsedBytes(NB);
    constexpr Kind FIRST = DECRYPT ? DECRYPT_FIRST : ENCRYPT_FIRST;
    constexpr Kind MIDDLE = DECRYPT ? DECRYPT_MIDDLE : ENCRYPT_MIDDLE;
    constexpr Kind LAST = DECRYPT ? DECRYPT_LAST : ENCRYPT_LAST;

    __m128i x[N][V];
#pragma GCC unroll 4
    for (int i = 0; i < V; ++i) {
        const __m128i k = Load(keys + LANE_BYTES * i);
#pragma GCC unroll 4
        for (int u = 0; u < N; ++u)
            x[u][i] = _mm_xor_si128(Load(data + USED * u + LANE_BYTES * i), k);
    }
    Permute<NB, FIRST, N>(x);
    for (std::int32_t step = 1; step < nr; ++step) {
        if (step > 1)
            Permute<NB, MIDDLE, N>(x);
        const std::uint8_t* roundKey = keys + path_schedule::VECTOR_ROUND_BYTES * step;
#pragma GCC unroll 4
        for (int i = 0; i < V; ++i) {
            const __m128i k = Load(roundKey + LANE_BYTES * i);
#pragma GCC unroll 4
            for (int u = 0; u < N; ++u)
                x[u][i] = DECRYPT ? _mm_aesdec_si128(x[u][i], k) : _mm_aesenc_si128(x[u][i], k);
        }
    }
    Permute<NB, LAST, N>(x);
    const std::uint8_t* lastKey = keys + path_schedule::VECTOR_ROUND_BYTES * nr;
#pragma GCC unroll 4
    for (int i = 0; i < V; ++i) {
        const __m128i k = Load(lastKey + LANE_BYTES * i);
#pragma GCC unroll 4
        for (int u = 0; u < N; ++u) {
            const __m128i y = DECRYPT ? _mm_aesdeclast_si128(x[u][i], k) : _mm_aesenclast_si128(x[u][i], k);
            Store(data + USED * u + LANE_BYTES * i, y);
        }
    }
}

template <int NB, bool DECRYPT>
ZARNOCRYPT_AESNI void AllBlocks(const std::uint8_t* keys, std::int32_t nr, std::uint8_t* blocks, std::size_t count)
{
    constexpr std::size_t USED = UsedBytes(NB);
    constexpr std::size_t PER_UNIT = BlocksPerUnit(NB);
    const std::size_t units = count / PER_UNIT;
    std::size_t u = 0;
    for (; u + UNITS_IN_FLIGHT <= units; u += UNITS_IN_FLIGHT)
        Units<NB, UNITS_IN_FLIGHT, DECRYPT>(keys, nr, blocks + USED * u);
    for (; u < units; ++u)
        Units<NB, 1, DECRYPT>(keys, nr, blocks + USED * u);

    // The last blocks that do not fill a unit go through a unit-sized temporary.
    const std::size_t rest = (count - units * PER_UNIT) * BlockBytes(NB);
    if (rest != 0) {
        alignas(16) std::uint8_t unit[UNIT_BYTES] = {};
        std::memcpy(unit, blocks + USED * units, rest);
        Units<NB, 1, DECRYPT>(keys, nr, unit);
        std::memcpy(blocks + USED * units, unit, rest);
        SecureWipe(unit, sizeof unit);
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

void AesniEncrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept
{
    Dispatch<false>(key, blocks, count);
}

void AesniDecrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept
{
    Dispatch<true>(key, blocks, count);
}

}  // namespace zarnocrypt::cipher_paths

#else

namespace zarnocrypt::cipher_paths {

// Never chosen off x86 (CipherPathMissing); the portable path stands in.
void AesniEncrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept
{
    PortableEncrypt(key, blocks, count);
}

void AesniDecrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept
{
    PortableDecrypt(key, blocks, count);
}

}  // namespace zarnocrypt::cipher_paths

#endif
