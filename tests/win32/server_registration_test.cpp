// Self-registration through the system's regsvr32, against the prefix's
// registry: exactly the keys and values written, stray keys cleared by
// registering again, everything but CLSID removed by /u. The run leaves the
// DLL registered for the tests that follow it.
#include <cstdlib>
#include <map>

#include "com_support.h"

namespace zarnocrypt::test {
namespace {

// Key path -> value name ("@": the default value) -> text.
using Snapshot = std::map<std::wstring, std::map<std::wstring, std::wstring>>;

// The exit status of Wine's regsvr32, run through the command interpreter.
DWORD Regsvr32(const std::wstring& arguments)
{
    return DWORD(_wsystem((L"regsvr32.exe /s " + arguments).c_str()));
}

// The key below HKEY_CLASSES_ROOT and all its subkeys; nothing if it is missing.
void Take(const std::wstring& path, Snapshot& snapshot)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key))
        return;
    auto& values = snapshot[path];
    wchar_t name[256], data[512];
    for (DWORD i = 0, n = 256, size = sizeof data;
         !RegEnumValueW(key, i, name, &n, nullptr, nullptr, LPBYTE(data), &size); ++i, n = 256, size = sizeof data)
        values[n ? name : L"@"] = data;
    for (DWORD i = 0, n = 256; !RegEnumKeyExW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr); ++i, n = 256)
        Take(path + L"\\" + name, snapshot);
    RegCloseKey(key);
}

const std::wstring CLSID_TEXT = GuidText(CLSID_Crypter), CLASS = L"CLSID\\" + CLSID_TEXT,
                   LIBRARY = L"TypeLib\\" + GuidText(LIBID_ZARNOCRYPTLib),
                   INTERFACE = L"Interface\\" + GuidText(IID_ICrypter);

Snapshot Keys(std::initializer_list<std::wstring> roots)
{
    Snapshot snapshot;
    for (const std::wstring& root : roots)
        Take(root, snapshot);
    return snapshot;
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
    EXPECT_EQ(expected, Keys({L"Zarnocrypt.Crypter.1", L"Zarnocrypt.Crypter", CLASS}));
    const std::wstring library = LIBRARY + (sizeof(void*) == 8 ? L"\\1.0\\0\\win64" : L"\\1.0\\0\\win32");
    EXPECT_EQ(ServerPath(), Keys({library})[library][L"@"]);
    EXPECT_FALSE(Keys({INTERFACE}).empty());
}

TEST(Registration, WritesExactlyItsKeysAndRemovesThem)
{
    const std::wstring dll = L"\"" + ServerPath() + L"\"";
    ASSERT_EQ(0u, Regsvr32(L"/u " + dll));  // nothing to remove is no failure
    ASSERT_EQ(0u, Regsvr32(dll));
    ExpectRegistered();

    for (const wchar_t* stray : {L"\\Stray\\Deeper", L"\\Programmable\\Stray"})
        RegSetValueW(HKEY_CLASSES_ROOT, (CLASS + stray).c_str(), REG_SZ, L"stray", 5);
    ASSERT_EQ(0u, Regsvr32(dll));
    ExpectRegistered();

    ASSERT_EQ(0u, Regsvr32(L"/u " + dll));
    EXPECT_TRUE(Keys({L"Zarnocrypt.Crypter.1", L"Zarnocrypt.Crypter", CLASS, LIBRARY, INTERFACE}).empty());
    HKEY classes{};
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_READ, &classes));
    RegCloseKey(classes);

    ASSERT_EQ(0u, Regsvr32(dll));
    ExpectRegistered();
}

}  // namespace
}  // namespace zarnocrypt::test
