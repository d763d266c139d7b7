// A registry subtree as a comparable map, for tests that check exactly what
// a registration wrote.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <string>

namespace zarnocrypt::test {

// Key path -> (value name -> "s:text" or "d:number"); "@" is the default value.
using Snapshot = std::map<std::wstring, std::map<std::wstring, std::wstring>>;

inline void TakeSnapshot(HKEY key, const std::wstring& path, Snapshot& snapshot)
{
    auto& values = snapshot[path];
    wchar_t name[16384];
    BYTE data[4096];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = DWORD(std::size(name)), type = 0, size = sizeof data;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        std::wstring text = type == REG_DWORD ? L"d:" + std::to_wstring(*reinterpret_cast<DWORD*>(data))
                                              : L"s:" + std::wstring(reinterpret_cast<wchar_t*>(data));
        values[nameLength == 0 ? L"@" : std::wstring(name, nameLength)] = text;
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY child;
        ASSERT_EQ(RegOpenKeyExW(key, name, 0, KEY_READ, &child), ERROR_SUCCESS);
        TakeSnapshot(child, path.empty() ? name : path + L"\\" + name, snapshot);
        RegCloseKey(child);
    }
}

}  // namespace zarnocrypt::test
