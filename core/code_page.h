// The seam between the text forms and the code page of narrow text.
//
// Only the lead-byte rule is needed: whether a byte starts a double-byte
// character. The core knows single-byte text only; a system's own rule (the
// Windows ANSI code page) is supplied by its caller.
#pragma once

#include <cstdint>

namespace zarnocrypt {

struct CodePage {
    bool (*isLeadByte)(std::uint8_t byte);
};

// No byte starts a double-byte character.
const CodePage& SingleByteCodePage() noexcept;

}  // namespace zarnocrypt
