// The implementations of the block cipher that transform the envelope's blocks.
//
// Every implementation gives the reference cipher's bytes. The table holds
// those that this processor, operating system and build can run, best first;
// the envelope uses the first. Tests and the benchmark call each directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zarnocrypt {

class RijndaelKey;

// count blocks of 4·Nb bytes in place, with the key's scheduled Nb; a key
// without a schedule leaves them as they are.
using BlocksFunction = void (*)(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;

struct CipherImplementation {
    const char* name;   // "avx512-vaes", "avx2-vaes", "ssse3-aesni", "portable" or "reference"
    bool constantTime;  // no table read, address or branch depends on the data or the key
    BlocksFunction encrypt;
    BlocksFunction decrypt;
};

// Those that can run here, best first; the reference is always there, last.
std::span<const CipherImplementation> AvailableImplementations() noexcept;

// The first available: what the envelope uses.
const CipherImplementation& ChosenImplementation() noexcept;

void EncryptBlocks(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;
void DecryptBlocks(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;

}  // namespace zarnocrypt
