#include "code_page.h"

namespace zarnocrypt {
namespace {

bool IsLeadByteSingleByte(std::uint8_t) noexcept
{
    return false;
}

constexpr CodePage SINGLE_BYTE_CODE_PAGE{IsLeadByteSingleByte};

}  // namespace

const CodePage& SingleByteCodePage() noexcept
{
    return SINGLE_BYTE_CODE_PAGE;
}

}  // namespace zarnocrypt
