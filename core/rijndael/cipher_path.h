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

// count blocks of 4·Nb bytes from in to out, with the key's scheduled Nb.
// in and out are the same buffer or do not overlap: the envelope writes
// straight into its result, the bulk callers transform in place. A key
// without a schedule writes nothing.
using BlocksFunction = void (*)(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out,
                                std::size_t count) noexcept;

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

// SubWord of the key schedule: on the AES round instruction where the
// processor has it, so that the accelerated paths' keys choose no table
// address; through the S-box elsewhere.
void ScheduleSubWord(std::uint8_t word[4]) noexcept;

void EncryptBlocks(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept;
void DecryptBlocks(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept;

}  // namespace zarnocrypt
