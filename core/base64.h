// Base64 with the RFC 4648 alphabet, as the marked text forms carry it:
// one "=" more than RFC 4648 padding, optional lines of a fixed width ended
// by bare line feeds, and a lenient decoder.
#pragma once

#include <cstddef>
#include <cstdint>

#include "buffer.h"
#include "status.h"

namespace zarnocrypt {

// text: size() characters followed by a NUL inside the buffer. lineLength 0
// means one line. TooLarge when the text would not fit a 32-bit size,
// NoMemory; text is set only on Ok. bytes may be null only when n is 0.
Status Base64Encode(const std::uint8_t* bytes, std::uint32_t n, std::uint32_t lineLength,
                    Buffer& text) noexcept;

// Reads at most length bytes of text, skipping every byte outside the
// alphabet and stopping at the first "=" or NUL, so a body can be decoded in
// place inside a longer text (null only when length is 0). bytes.size() is
// the decoded length. Fails only with NoMemory; bytes is set only on Ok.
Status Base64Decode(const char* text, std::size_t length, Buffer& bytes) noexcept;

}  // namespace zarnocrypt
