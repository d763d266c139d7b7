// The seam between the text forms and the system's ANSI code page.
//
// Only the lead-byte rule is needed: whether a byte starts a double-byte
// character. Windows answers it for CP_ACP; native builds are single-byte.
#pragma once

#include <cstdint>

namespace zarnocrypt {

struct CodePage {
    bool (*isLeadByte)(std::uint8_t byte);
};

// The code page that narrow text is in on this system.
const CodePage& AnsiCodePage() noexcept;

}  // namespace zarnocrypt
