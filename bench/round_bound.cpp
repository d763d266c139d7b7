// What the 512-bit round instruction allows on this processor, as a bound for
// the avx512-vaes lines: 16 MiB in place through Nr rounds of VAES on full
// registers, 16 in flight, with nothing else per round; and the same with one
// vpermb before each round. A 192-bit block needs at least that: its
// ShiftRows moves bytes across the 16-byte lanes of the AES instruction in
// every round, and no arrangement of its columns in lanes can absorb the move
// (a shift of 1 within a lane of 4 columns has order 4, within a row of 6
// columns order 6). Our path also leaves 16 of every 64 bytes unused.
#include "bench_cases.h"
#include "cpu_features.h"

#if ZARNOCRYPT_X86

#include <benchmark/benchmark.h>
#include <immintrin.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cipher_path.h"
#include "key_text.h"
#include "rijndael_key.h"

#define BOUND_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi,aes,vaes")))

namespace zarnocrypt::bench {
namespace {

constexpr std::size_t BYTES = 16 * MIB;
constexpr int IN_FLIGHT = 16;

template <bool PERMUTE>
BOUND_TARGET void Rounds(std::uint8_t* data, int nr)
{
    std::array<std::uint8_t, 64> rotate{};
    for (int i = 0; i < 64; ++i)
        rotate[i] = static_cast<std::uint8_t>((i + 1) % 64);
    const __m512i index = _mm512_loadu_si512(rotate.data());
    const __m512i key = _mm512_set1_epi8(0x5a);
    for (std::size_t at = 0; at < BYTES; at += 64 * IN_FLIGHT) {
        __m512i x[IN_FLIGHT];
#pragma GCC unroll 16
        for (int u = 0; u < IN_FLIGHT; ++u)
            x[u] = _mm512_xor_si512(_mm512_loadu_si512(data + at + 64 * u), key);
        for (int round = 1; round <= nr; ++round)
#pragma GCC unroll 16
            for (int u = 0; u < IN_FLIGHT; ++u) {
                if (PERMUTE)
                    x[u] = _mm512_maskz_permutexvar_epi8(~__mmask64{0}, index, x[u]);
                x[u] = round < nr ? _mm512_aesenc_epi128(x[u], key) : _mm512_aesenclast_epi128(x[u], key);
            }
#pragma GCC unroll 16
        for (int u = 0; u < IN_FLIGHT; ++u)
            _mm512_storeu_si512(data + at + 64 * u, x[u]);
    }
}

template <bool PERMUTE>
void Bound(benchmark::State& state)
{
    RijndaelKey key;  // as the other 16 MiB lines: Nk = 6, Nb = 6
    const std::string text(24, 'g');
    LoadKeyText(key, text.data(), text.size());
    std::vector<std::uint8_t> data(BYTES, 0x33);
    for (auto _ : state) {
        Rounds<PERMUTE>(data.data(), key.Nr());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * BYTES));
}

}  // namespace

void RegisterBoundCases()
{
    for (const CipherImplementation& implementation : AvailableImplementations())
        if (std::strcmp(implementation.name, "avx512-vaes") == 0) {
            benchmark::RegisterBenchmark(BoundCase("rounds").c_str(), Bound<false>);
            benchmark::RegisterBenchmark(BoundCase("permuted-rounds").c_str(), Bound<true>);
        }
}

}  // namespace zarnocrypt::bench

#else

void zarnocrypt::bench::RegisterBoundCases() {}

#endif
