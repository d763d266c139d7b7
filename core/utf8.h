// Well-formed UTF-8 (RFC 3629): the only bytes that a text of type "U" may
// hold, checked before they are shown as text anywhere.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarnocrypt {

// No overlong forms, no surrogates (U+D800 to U+DFFF), nothing above U+10FFFF,
// no sequence cut short. An empty text is well formed.
bool IsValidUtf8(const std::uint8_t* bytes, std::size_t size) noexcept;

}  // namespace zarnocrypt
