#include <windows.h>

#include "ansi_code_page.h"

namespace zarnocrypt {
namespace {

// Asked each time rather than cached: the ANSI code page is the process's,
// fixed at start-up, and the call is cheap.
bool IsLeadByteAnsi(std::uint8_t byte) noexcept
{
    return IsDBCSLeadByteEx(CP_ACP, byte) != FALSE;
}

constexpr CodePage ANSI_CODE_PAGE{IsLeadByteAnsi};

}  // namespace

const CodePage& AnsiCodePage() noexcept
{
    return ANSI_CODE_PAGE;
}

}  // namespace zarnocrypt
