// The lead-byte rule of the system's ANSI code page, for the text forms of
// the component and of the Windows tool.
#pragma once

#include "code_page.h"

namespace zarnocrypt {

const CodePage& AnsiCodePage() noexcept;

}  // namespace zarnocrypt
