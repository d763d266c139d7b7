#include "installed_state.h"

#include <cstdio>
#include <windows.h>
#include <shlwapi.h>

#include "Zarnocrypt_h.h"

namespace {

// The braced registry form, upper-case as the registrar writes it.
std::string BracedGuid(const GUID& guid)
{
    char text[39];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3,
                  guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                  guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
    return text;
}

}  // namespace

std::string InstalledStateKey()
{
    return "CLSID\\" + BracedGuid(CLSID_Crypter);
}

bool IsComponentInstalled()
{
    char value[50] = {};
    DWORD size = sizeof value;
    const LSTATUS status =
        SHGetValueA(HKEY_CLASSES_ROOT, InstalledStateKey().c_str(), nullptr, nullptr, value, &size);
    value[sizeof value - 1] = '\0';  // a stored value need not end in a zero
    return status == ERROR_SUCCESS && value[0] != '\0';
}
