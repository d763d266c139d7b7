// Self-registration: the class's keys below HKEY_CLASSES_ROOT and the type
// library that module carries as resource "TYPELIB" 1.
#pragma once

#include <windows.h>

namespace zarnocrypt {

// Writes the keys, stopping at the first failure, which is returned before
// the type library is touched; then registers the type library from the
// module's full path.
HRESULT RegisterServer(HMODULE module) noexcept;

// Removes the keys, going on past failures and returning the first one;
// only when all went does it unregister the type library.
HRESULT UnregisterServer(HMODULE module) noexcept;

}  // namespace zarnocrypt
