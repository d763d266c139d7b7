#include "code_page.h"

namespace zarnocrypt {
namespace {

// Native builds treat narrow text as a single-byte code page: no byte ever
// starts a double-byte character.
bool IsLeadByteSingleByte(std::uint8_t) noexcept
{
    return false;
}

constexpr CodePage SINGLE_BYTE_CODE_PAGE{IsLeadByteSingleByte};

}  // namespace

const CodePage& AnsiCodePage() noexcept
{
    return SINGLE_BYTE_CODE_PAGE;
}

}  // namespace zarnocrypt
