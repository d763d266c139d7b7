// The benchmark cases of zarnocrypt-bench and the names the ratios look up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cpu_features.h"

namespace zarnocrypt::bench {

// Registers every case: the envelope and the bulk cipher on each path the
// processor offers (the envelope forced onto each path in turn), libmcrypt "rijndael-192", memcpy, Base64 and the text forms.
void RegisterCases();

std::string SizeName(std::size_t bytes);

// "cipher-encrypt/nk6/1MiB/avx512-vaes" and the like.
std::string CipherCase(const char* operation, int nk, std::size_t bytes, const char* path);
std::string McryptCase(const char* operation, int nk, std::size_t bytes);
std::string MemcpyCase(std::size_t bytes);

// The sealed format (sealed_cases.cpp): one Argon2id derivation with the
// writer's parameters, a short text sealed and opened with the key cached,
// and whole sealed messages of 1 MiB ("sealed-encrypt/1MiB").
void RegisterSealedCases();
inline constexpr char SEALED_DERIVATION_CASE[] = "sealed-derivation/t3-m15-p1";
inline constexpr char SEALED_TEXT_CASE[] = "sealed-text-encrypt-decrypt-cached/abc";
inline std::string SealedCase(const char* operation)
{
    return std::string("sealed-") + operation + "/1MiB";
}

// The bound of the avx512-vaes lines, registered with them: "rounds" and
// "permuted-rounds", run by BoundRounds (round_bound.cpp) on whole groups of
// 16 registers, in place.
#if ZARNOCRYPT_X86
void BoundRounds(std::uint8_t* data, std::size_t bytes, int nr, bool permute);
#endif
inline std::string BoundCase(const char* operation)
{
    return std::string("bound-") + operation + "/16MiB/avx512-vaes";
}

inline constexpr std::size_t KIB = 1024;
inline constexpr std::size_t MIB = 1024 * KIB;

}  // namespace zarnocrypt::bench
