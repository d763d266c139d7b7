// The sealed format's costs: the Argon2id derivation a new key text pays once
// per process, a short text sealed and opened once the key is cached, and the
// chunk stream's rate beside the legacy envelope's.
#include "bench_cases.h"

#include <benchmark/benchmark.h>

#include <array>
#include <string_view>
#include <vector>

#include "master_key_cache.h"
#include "sealed_message.h"
#include "sealed_text.h"

namespace zarnocrypt::bench {
namespace {

constexpr std::string_view KEY_TEXT = "a key text for the benchmark";

std::span<const std::uint8_t> KeyBytes()
{
    return {reinterpret_cast<const std::uint8_t*>(KEY_TEXT.data()), KEY_TEXT.size()};
}

void Derivation(benchmark::State& state)
{
    SealedHeader header;  // the writer's parameters
    std::array<std::uint8_t, SEALED_KEY_SIZE> key{};
    for (auto _ : state) {
        DeriveSealedMasterKey(KeyBytes(), header, key);
        benchmark::DoNotOptimize(key.data());
    }
}

void CachedTextRoundTrip(benchmark::State& state)
{
    for (auto _ : state) {
        Buffer marked;
        Buffer plaintext;
        SealText(KEY_TEXT, "abc", 0, marked);
        OpenText(KEY_TEXT, {reinterpret_cast<const char*>(marked.data()), marked.size()}, plaintext);
        benchmark::DoNotOptimize(plaintext.data());
    }
}

void Bytes(benchmark::State& state, bool open)
{
    const std::vector<std::uint8_t> plain(MIB, 0x5a);
    Buffer message;
    SealBytes(KeyBytes(), plain, message);
    for (auto _ : state) {
        Buffer out;
        if (open)
            OpenBytes(KeyBytes(), message, out);
        else
            SealBytes(KeyBytes(), plain, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * MIB));
}

}  // namespace

void RegisterSealedCases()
{
    benchmark::RegisterBenchmark(SEALED_DERIVATION_CASE, Derivation);
    benchmark::RegisterBenchmark(SEALED_TEXT_CASE, CachedTextRoundTrip);
    benchmark::RegisterBenchmark(SealedCase("encrypt").c_str(), [](benchmark::State& state) { Bytes(state, false); });
    benchmark::RegisterBenchmark(SealedCase("decrypt").c_str(), [](benchmark::State& state) { Bytes(state, true); });
}

}  // namespace zarnocrypt::bench
