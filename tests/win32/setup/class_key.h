// "CLSID\{...}": the class key that Setup reads and the component writes.
#pragma once
#include <string>
#include <windows.h>
#include <objbase.h>

#include "Zarnocrypt_h.h"

inline std::string ClassKey()
{
    wchar_t guid[40];
    StringFromGUID2(CLSID_Crypter, guid, 40);
    char narrow[40];
    WideCharToMultiByte(CP_ACP, 0, guid, -1, narrow, sizeof narrow, nullptr, nullptr);
    return std::string("CLSID\\") + narrow;
}
