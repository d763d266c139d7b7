// What the 512-bit round instruction allows on this processor, as a bound for
// the avx512-vaes lines: 16 MiB in place through Nr rounds of VAES on full
// registers, 16 in flight, with nothing else per round; and the same with one
// vpermb before each round. A 192-bit block needs at least that: its
// ShiftRows moves bytes across the 16-byte lanes of the AES instruction in
// every round, and no arrangement of its columns in lanes can absorb the move
// (a shift of 1 within a lane of 4 columns has order 4, within a row of 6
// columns order 6). Our path also leaves 16 of every 64 bytes unused.
#include "bench_cases.h"

#if ZARNOCRYPT_X86

#include <immintrin.h>

#include <array>

#define BOUND_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi,aes,vaes")))

namespace zarnocrypt::bench {
namespace {

constexpr int IN_FLIGHT = 16;

template <bool PERMUTE>
BOUND_TARGET void Rounds(std::uint8_t* data, std::size_t bytes, int nr)
{
    std::array<std::uint8_t, 64> rotate{};
    for (int i = 0; i < 64; ++i)
        rotate[i] = static_cast<std::uint8_t>((i + 1) % 64);
    const __m512i index = _mm512_loadu_si512(rotate.data());
    const __m512i key = _mm512_set1_epi8(0x5a);
    for (std::size_t at = 0; at + 64 * IN_FLIGHT <= bytes; at += 64 * IN_FLIGHT) {
        __m512i x[IN_FLIGHT];
#pragma GCC unroll 16
        for (int u = 0; u < IN_FLIGHT; ++u)
            x[u] = _mm512_xor_si512(_mm512_loadu_si512(data + at + 64 * u), key);
        for (int round = 1; round <= nr; ++round)
#pragma GCC unroll 16
            for (int u = 0; u < IN_FLIGHT; ++u) {
                if (PERMUTE)  // the zero-masking form, as in the path itself
                    x[u] = _mm512_maskz_permutexvar_epi8(~__mmask64{0}, index, x[u]);
                x[u] = round < nr ? _mm512_aesenc_epi128(x[u], key) : _mm512_aesenclast_epi128(x[u], key);
            }
#pragma GCC unroll 16
        for (int u = 0; u < IN_FLIGHT; ++u)
            _mm512_storeu_si512(data + at + 64 * u, x[u]);
    }
}

}  // namespace

void BoundRounds(std::uint8_t* data, std::size_t bytes, int nr, bool permute)
{
    permute ? Rounds<true>(data, bytes, nr) : Rounds<false>(data, bytes, nr);
}

}  // namespace zarnocrypt::bench

#endif
