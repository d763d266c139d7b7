// A key text becomes the key: the one entry point that the component's
// SetKey, the tool, fuzzing and benchmarks share.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rijndael_key.h"
#include "status.h"

namespace zarnocrypt {

// New keys encrypt 192-bit blocks until a message of another block length is
// decrypted with them.
inline constexpr std::int32_t DEFAULT_BLOCK_LENGTH = 6;

// Replaces the key with the n bytes of text: fewer than 24 bytes give a
// 128-bit key (padded when shorter than 16), fewer than 32 a 192-bit key,
// else 256 bits; only the first 4·Nk bytes count. Then schedules it for
// DEFAULT_BLOCK_LENGTH. An empty text (n == 0) empties the key and is Ok.
// NoMemory leaves the key empty, never half set.
Status LoadKeyText(RijndaelKey& key, const char* text, std::size_t n) noexcept;

}  // namespace zarnocrypt
