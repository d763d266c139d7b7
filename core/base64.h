// Base64 with the RFC 4648 alphabet, as the marked text forms carry it:
// one "=" more than RFC 4648 padding, optional lines of a fixed width ended
// by bare line feeds, and a lenient decoder.
#pragma once

#include <cstddef>
#include <cstdint>

#include "buffer.h"

namespace zarnocrypt {

// Encoded text: size() characters followed by a NUL inside the buffer.
// lineLength 0 means one line. Empty only when memory is exhausted or the
// text would not fit a 32-bit size.
Buffer Base64Encode(const std::uint8_t* bytes, std::uint32_t n, std::uint32_t lineLength) noexcept;

// Skips every byte outside the alphabet and stops at the first "=" or NUL.
// size() is the decoded length; empty only when memory is exhausted.
Buffer Base64Decode(const char* text) noexcept;

// The same over at most maxLength bytes of text, for a body that is followed
// by more text (the end marker holds alphabet characters).
Buffer Base64Decode(const char* text, std::size_t maxLength) noexcept;

}  // namespace zarnocrypt
