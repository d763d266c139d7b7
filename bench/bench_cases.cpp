// Every case works on the same 16 MiB of random data (a prefix of it for the
// smaller sizes) and on keys of 16, 24 and 32 bytes (Nk = 4, 6, 8), scheduled
// for 192-bit blocks as SetKey schedules them.
#include "bench_cases.h"

#include <benchmark/benchmark.h>
#include <mcrypt.h>

#include <cstring>
#include <random>
#include <vector>

#include "base64.h"
#include "cipher_path.h"
#include "envelope.h"
#include "key_text.h"
#include "rijndael_key.h"
#include "text_forms.h"

namespace zarnocrypt::bench {

namespace {

constexpr std::size_t SIZES[] = {24, KIB, MIB, 16 * MIB};
constexpr int KEY_LENGTHS[] = {4, 6, 8};
constexpr std::size_t BLOCK_BYTES = 24;

struct Data {
    std::vector<std::uint8_t> source;
    std::vector<std::uint8_t> work;
    std::vector<std::uint8_t> target;
    RijndaelKey keys[9];

    Data() : source(16 * MIB), work(16 * MIB), target(16 * MIB)
    {
        std::mt19937 random(1);
        for (auto& b : source)
            b = static_cast<std::uint8_t>(random());
        work = source;
        // Key texts of 16, 24 and 32 bytes give Nk = 4, 6 and 8.
        for (const int nk : KEY_LENGTHS) {
            const std::string text(static_cast<std::size_t>(4 * nk), static_cast<char>('a' + nk));
            LoadKeyText(keys[nk], text.data(), text.size());
        }
    }
};

Data& Shared()
{
    static Data data;
    return data;
}

void SetThroughput(benchmark::State& state, std::size_t bytes)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}

// The bulk cipher in place, as the envelope drives it.
void CipherBlocks(benchmark::State& state, const CipherImplementation& implementation, bool decrypt, int nk,
                  std::size_t bytes)
{
    Data& data = Shared();
    const BlocksFunction run = decrypt ? implementation.decrypt : implementation.encrypt;
    for (auto _ : state) {
        run(data.keys[nk], data.work.data(), data.work.data(), bytes / BLOCK_BYTES);
        benchmark::ClobberMemory();
    }
    SetThroughput(state, bytes);
}

// The whole envelope as callers get it: allocation, header, blocks, and the
// wipe when the result is released. The plaintext counts as bytes, less the
// magic so that the envelope has exactly bytes of blocks.
void Envelope(benchmark::State& state, const CipherImplementation& implementation, bool decrypt, int nk,
              std::size_t bytes)
{
    Data& data = Shared();
    RijndaelKey& key = data.keys[nk];
    const std::size_t length = bytes - ENVELOPE_MAGIC_SIZE;
    Buffer envelope;
    EncryptEnvelope(key, data.source.data(), length, envelope, implementation);
    for (auto _ : state) {
        Buffer out;
        if (decrypt)
            DecryptEnvelope(key, envelope.data(), envelope.size(), out, implementation);
        else
            EncryptEnvelope(key, data.source.data(), length, out, implementation);
        benchmark::DoNotOptimize(out.data());
    }
    SetThroughput(state, bytes);
}

// libmcrypt's Rijndael with 192-bit blocks, ECB, in place, with the same raw key.
void Mcrypt(benchmark::State& state, bool decrypt, int nk, std::size_t bytes)
{
    Data& data = Shared();
    MCRYPT td = mcrypt_module_open(const_cast<char*>("rijndael-192"), nullptr, const_cast<char*>("ecb"), nullptr);
    std::vector<std::uint8_t> key(data.keys[nk].KeyBytes(), data.keys[nk].KeyBytes() + 4 * nk);
    if (td == MCRYPT_FAILED || mcrypt_generic_init(td, key.data(), static_cast<int>(key.size()), nullptr) < 0) {
        state.SkipWithError("libmcrypt rijndael-192 unavailable");
        return;
    }
    for (auto _ : state) {
        if (decrypt)
            mdecrypt_generic(td, data.work.data(), static_cast<int>(bytes));
        else
            mcrypt_generic(td, data.work.data(), static_cast<int>(bytes));
        benchmark::ClobberMemory();
    }
    mcrypt_generic_deinit(td);
    mcrypt_module_close(td);
    SetThroughput(state, bytes);
}

#if ZARNOCRYPT_X86
// The bound of the avx512-vaes lines on the data and the rounds of their 16 MiB case.
void Bound(benchmark::State& state, bool permute)
{
    Data& data = Shared();
    for (auto _ : state) {
        BoundRounds(data.work.data(), 16 * MIB, data.keys[6].Nr(), permute);
        benchmark::ClobberMemory();
    }
    SetThroughput(state, 16 * MIB);
}
#endif

void Memcpy(benchmark::State& state, std::size_t bytes)
{
    Data& data = Shared();
    for (auto _ : state) {
        std::memcpy(data.target.data(), data.source.data(), bytes);
        benchmark::ClobberMemory();
    }
    SetThroughput(state, bytes);
}

void Base64(benchmark::State& state, bool decode)
{
    Data& data = Shared();
    Buffer text;
    Base64Encode(data.source.data(), MIB, 0, text);
    for (auto _ : state) {
        Buffer out;
        if (decode)
            Base64Decode(reinterpret_cast<const char*>(text.data()), text.size(), out);
        else
            Base64Encode(data.source.data(), MIB, 0, out);
        benchmark::DoNotOptimize(out.data());
    }
    SetThroughput(state, MIB);
}

// One EncryptText and one DecryptText of "abc": the latency of a script's call.
void TextRoundTrip(benchmark::State& state)
{
    Data& data = Shared();
    for (auto _ : state) {
        Buffer marked;
        Buffer plaintext;
        EncryptText("abc", data.keys[4], 0, SingleByteCodePage(), marked);
        DecryptText(reinterpret_cast<const char*>(marked.data()), marked.size(), data.keys[4], plaintext);
        benchmark::DoNotOptimize(plaintext.data());
    }
}

// Process CPU time: the machine these run on is shared, and wall time counts
// the other tenants' turns too.
template <typename F>
void Register(const std::string& name, F function)
{
    benchmark::RegisterBenchmark(name.c_str(), function);
}

}  // namespace

std::string SizeName(std::size_t bytes)
{
    if (bytes >= MIB)
        return std::to_string(bytes / MIB) + "MiB";
    if (bytes >= KIB)
        return std::to_string(bytes / KIB) + "KiB";
    return std::to_string(bytes) + "B";
}

std::string CipherCase(const char* operation, int nk, std::size_t bytes, const char* path)
{
    return std::string(operation) + "/nk" + std::to_string(nk) + "/" + SizeName(bytes) + "/" + path;
}

std::string McryptCase(const char* operation, int nk, std::size_t bytes)
{
    return std::string("mcrypt192-") + operation + "/nk" + std::to_string(nk) + "/" + SizeName(bytes);
}

std::string MemcpyCase(std::size_t bytes)
{
    return "memcpy/" + SizeName(bytes);
}

void RegisterCases()
{
    const CipherImplementation* chosen = &ChosenImplementation();
    for (const CipherImplementation& implementation : AvailableImplementations()) {
        if (std::strcmp(implementation.name, "reference") == 0)
            continue;
        const char* name = implementation.name;
        const bool isChosen = &implementation == chosen;
        for (const int nk : KEY_LENGTHS)
            for (const std::size_t bytes : SIZES) {
                // Every implementation at 1 and 16 MiB with Nk = 6; the chosen one everywhere.
                if (!isChosen && (nk != 6 || bytes < MIB))
                    continue;
                for (const bool decrypt : {false, true}) {
                    const char* operation = decrypt ? "cipher-decrypt" : "cipher-encrypt";
                    Register(CipherCase(operation, nk, bytes, name), [=](benchmark::State& state) {
                        CipherBlocks(state, implementation, decrypt, nk, bytes);
                    });
                }
                for (const bool decrypt : {false, true}) {
                    const char* operation = decrypt ? "envelope-decrypt" : "envelope-encrypt";
                    Register(CipherCase(operation, nk, bytes, name), [=](benchmark::State& state) {
                        Envelope(state, implementation, decrypt, nk, bytes);
                    });
                }
            }
#if ZARNOCRYPT_X86
        if (std::strcmp(name, "avx512-vaes") == 0) {
            Register(BoundCase("rounds"), [](benchmark::State& state) { Bound(state, false); });
            Register(BoundCase("permuted-rounds"), [](benchmark::State& state) { Bound(state, true); });
        }
#endif
    }
    for (const int nk : KEY_LENGTHS)
        for (const std::size_t bytes : SIZES)
            for (const bool decrypt : {false, true})
                Register(McryptCase(decrypt ? "decrypt" : "encrypt", nk, bytes),
                         [=](benchmark::State& state) { Mcrypt(state, decrypt, nk, bytes); });
    for (const std::size_t bytes : SIZES)
        Register(MemcpyCase(bytes), [=](benchmark::State& state) { Memcpy(state, bytes); });
    Register("base64-encode/1MiB", [](benchmark::State& state) { Base64(state, false); });
    Register("base64-decode/1MiB", [](benchmark::State& state) { Base64(state, true); });
    Register("text-encrypt-decrypt/abc", TextRoundTrip);
}

}  // namespace zarnocrypt::bench
