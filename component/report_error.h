// Publishes an error-info record for the calling thread.
#pragma once

#include <windows.h>

namespace zarnocrypt {

// Source "Zarnocrypt.Crypter", the given description, no interface GUID, no
// help. Returns failure, so a method can end with `return ReportError(...)`;
// a record that cannot be made is skipped, the code still goes back.
HRESULT ReportError(HRESULT failure, const wchar_t* description) noexcept;

}  // namespace zarnocrypt
