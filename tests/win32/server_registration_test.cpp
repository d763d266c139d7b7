// Self-registration through the system's regsvr32, against the prefix's
// registry: exactly the keys and values written, stray keys cleared by
// registering again, everything but CLSID removed by /u. The run leaves the
// DLL registered for the tests that follow it.
#include "com_support.h"
#include "server_dll.h"

#include <map>

namespace zarnocrypt::test {
namespace {

// Key path -> value name ("@": the default value) -> text.
using Snapshot = std::map<std::wstring, std::map<std::wstring, std::wstring>>;

DWORD Regsvr32(const std::wstring& options)
{
    std::wstring command = L"regsvr32.exe /s " + options;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return DWORD(-1);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = DWORD(-1);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

void Take(HKEY parent, const std::wstring& path, Snapshot& snapshot, bool root = true)
{
    HKEY key;
    if (RegOpenKeyExW(parent, root ? path.c_str() : path.substr(path.rfind(L'\\') + 1).c_str(), 0, KEY_READ, &key))
        return;
    auto& values = snapshot[path];
    wchar_t name[256], data[512];
    for (DWORD i = 0, n = 256, size = sizeof data; !RegEnumValueW(key, i, name, &n, nullptr, nullptr,
                                                                  LPBYTE(data), &size); ++i, n = 256, size = sizeof data)
        values[n ? name : L"@"] = data;
    for (DWORD i = 0, n = 256; !RegEnumKeyExW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr); ++i, n = 256)
        Take(key, path + L"\\" + name, snapshot, false);
    RegCloseKey(key);
}

const std::wstring CLSID_TEXT = GuidText(CLSID_Crypter), CLASS = L"CLSID\\" + CLSID_TEXT;

Snapshot ScriptKeys()
{
    Snapshot snapshot;
    for (const std::wstring root : {L"Zarnocrypt.Crypter.1", L"Zarnocrypt.Crypter", CLASS.c_str()})
        Take(HKEY_CLASSES_ROOT, root, snapshot);
    return snapshot;
}

bool KeyExists(const std::wstring& path)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key))
        return false;
    RegCloseKey(key);
    return true;
}

void ExpectRegistered()
{
    const Snapshot expected = {
        {L"Zarnocrypt.Crypter.1", {{L"@", L"Crypter Class"}}},
        {L"Zarnocrypt.Crypter.1\\CLSID", {{L"@", CLSID_TEXT}}},
        {L"Zarnocrypt.Crypter", {{L"@", L"Crypter Class"}}},
        {L"Zarnocrypt.Crypter\\CLSID", {{L"@", CLSID_TEXT}}},
        {L"Zarnocrypt.Crypter\\CurVer", {{L"@", L"Zarnocrypt.Crypter.1"}}},
        {CLASS, {{L"@", L"Crypter Class"}}},
        {CLASS + L"\\ProgID", {{L"@", L"Zarnocrypt.Crypter.1"}}},
        {CLASS + L"\\VersionIndependentProgID", {{L"@", L"Zarnocrypt.Crypter"}}},
        {CLASS + L"\\Programmable", {}},
        {CLASS + L"\\InprocServer32", {{L"@", ServerPath()}, {L"ThreadingModel", L"Apartment"}}},
        {CLASS + L"\\TypeLib", {{L"@", GuidText(LIBID_ZARNOCRYPTLib)}}},
    };
    EXPECT_EQ(expected, ScriptKeys());
    const std::wstring library = L"TypeLib\\" + GuidText(LIBID_ZARNOCRYPTLib) + L"\\1.0\\0\\" + OWN_SYSKIND_KEY;
    Snapshot typeLibrary;
    Take(HKEY_CLASSES_ROOT, library, typeLibrary);
    EXPECT_EQ(ServerPath(), typeLibrary[library][L"@"]);
    EXPECT_TRUE(KeyExists(L"Interface\\" + GuidText(IID_ICrypter)));
}

TEST(Registration, WritesExactlyItsKeysAndRemovesThem)
{
    const std::wstring dll = L"\"" + ServerPath() + L"\"";
    EXPECT_EQ(3u, Regsvr32(L"\"" + ServerPath() + L".missing\""));  // cannot be loaded
    ASSERT_EQ(0u, Regsvr32(L"/u " + dll));  // nothing to remove is no failure
    ASSERT_EQ(0u, Regsvr32(dll));
    ExpectRegistered();

    for (const wchar_t* stray : {L"\\Stray\\Deeper", L"\\Programmable\\Stray"})
        RegCloseKey([&] { HKEY key{}; RegCreateKeyW(HKEY_CLASSES_ROOT, (CLASS + stray).c_str(), &key); return key; }());
    ASSERT_EQ(0u, Regsvr32(dll));
    ExpectRegistered();

    ASSERT_EQ(0u, Regsvr32(L"/u " + dll));
    EXPECT_TRUE(ScriptKeys().empty());
    EXPECT_TRUE(KeyExists(L"CLSID"));
    EXPECT_FALSE(KeyExists(L"TypeLib\\" + GuidText(LIBID_ZARNOCRYPTLib)));
    EXPECT_FALSE(KeyExists(L"Interface\\" + GuidText(IID_ICrypter)));

    ASSERT_EQ(0u, Regsvr32(dll));
    ExpectRegistered();
}

}  // namespace
}  // namespace zarnocrypt::test
