// The built Zarnocrypt.dll as the tests that load or register it find it.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace zarnocrypt::test {

// Full Windows path of the DLL under test, from ZARNOCRYPT_DLL.
inline std::wstring ServerPath()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"ZARNOCRYPT_DLL", path, MAX_PATH);
    EXPECT_TRUE(length > 0 && length < MAX_PATH) << "ZARNOCRYPT_DLL is not set";
    return path;
}

// The platform under which this build registers its type library, and the
// name of that platform's subkey in the library's registry entry.
inline constexpr SYSKIND kOwnSyskind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
inline constexpr const wchar_t* kOwnSyskindKey = sizeof(void*) == 8 ? L"win64" : L"win32";

inline std::wstring GuidText(REFGUID guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

}  // namespace zarnocrypt::test
