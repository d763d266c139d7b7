// Self-registration through the system's own regsvr32, against the prefix's
// real registry. The run leaves the DLL registered for the COM and script
// tests that follow it.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

#include "Zarnocrypt_h.h"
#include "registry_snapshot.h"
#include "server_test_support.h"

namespace zarnocrypt::test {
namespace {

// regsvr32's exit code for a DLL that cannot be loaded.
constexpr DWORD REGSVR32_LOAD_FAILED = 3;

DWORD RunRegsvr32(const std::wstring& options, const std::wstring& dll)
{
    std::wstring command = L"regsvr32.exe " + options + L" \"" + dll + L"\"";
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

bool KeyExists(const std::wstring& path)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void AddKey(const std::wstring& path)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                             &key, nullptr));
    RegCloseKey(key);
}

class Registration : public testing::Test {
protected:
    // What the registry script writes: the two ProgID keys and the class key.
    Snapshot ScriptKeys()
    {
        Snapshot snapshot;
        for (const std::wstring& root : {std::wstring(L"Zarnocrypt.Crypter.1"), std::wstring(L"Zarnocrypt.Crypter"),
                                         classKey_}) {
            HKEY key;
            if (RegOpenKeyExW(HKEY_CLASSES_ROOT, root.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
                continue;
            TakeSnapshot(key, root, snapshot);
            RegCloseKey(key);
        }
        return snapshot;
    }

    Snapshot Expected() const
    {
        return {
            {L"Zarnocrypt.Crypter.1", {{L"@", L"s:Crypter Class"}}},
            {L"Zarnocrypt.Crypter.1\\CLSID", {{L"@", L"s:" + clsid_}}},
            {L"Zarnocrypt.Crypter", {{L"@", L"s:Crypter Class"}}},
            {L"Zarnocrypt.Crypter\\CLSID", {{L"@", L"s:" + clsid_}}},
            {L"Zarnocrypt.Crypter\\CurVer", {{L"@", L"s:Zarnocrypt.Crypter.1"}}},
            {classKey_, {{L"@", L"s:Crypter Class"}}},
            {classKey_ + L"\\ProgID", {{L"@", L"s:Zarnocrypt.Crypter.1"}}},
            {classKey_ + L"\\VersionIndependentProgID", {{L"@", L"s:Zarnocrypt.Crypter"}}},
            {classKey_ + L"\\Programmable", {}},
            {classKey_ + L"\\InprocServer32", {{L"@", L"s:" + dll_}, {L"ThreadingModel", L"s:Apartment"}}},
            {classKey_ + L"\\TypeLib", {{L"@", L"s:" + GuidText(LIBID_ZARNOCRYPTLib)}}},
        };
    }

    void ExpectTypeLibraryRegistered(bool registered)
    {
        const std::wstring library = L"TypeLib\\" + GuidText(LIBID_ZARNOCRYPTLib);
        EXPECT_EQ(registered, KeyExists(library));
        EXPECT_EQ(registered, KeyExists(L"Interface\\" + GuidText(IID_ICrypter)));
        if (!registered)
            return;
        wchar_t path[MAX_PATH] = {};
        DWORD size = sizeof path;
        EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CLASSES_ROOT, (library + L"\\1.0\\0\\" + kOwnSyskindKey).c_str(), nullptr,
                                              RRF_RT_REG_SZ, nullptr, path, &size));
        EXPECT_EQ(dll_, path);
    }

    const std::wstring dll_ = ServerPath();
    const std::wstring clsid_ = GuidText(CLSID_Crypter);
    const std::wstring classKey_ = L"CLSID\\" + clsid_;
};

TEST_F(Registration, MissingDllFailsToLoad)
{
    EXPECT_EQ(REGSVR32_LOAD_FAILED, RunRegsvr32(L"/s", dll_ + L".missing"));
}

TEST_F(Registration, RegisterWritesExactlyTheScriptAndTheTypeLibrary)
{
    ASSERT_EQ(0u, RunRegsvr32(L"/s /u", dll_));  // a clean start; nothing to remove is no failure
    ASSERT_EQ(0u, RunRegsvr32(L"/s", dll_));
    EXPECT_EQ(Expected(), ScriptKeys());
    ExpectTypeLibraryRegistered(true);
}

TEST_F(Registration, RegisteringAgainIsIdempotentAndClearsStrayKeys)
{
    ASSERT_EQ(0u, RunRegsvr32(L"/s", dll_));
    AddKey(classKey_ + L"\\Stray\\Deeper");
    AddKey(classKey_ + L"\\Programmable\\Stray");
    ASSERT_EQ(0u, RunRegsvr32(L"/s", dll_));
    EXPECT_EQ(Expected(), ScriptKeys());
    ExpectTypeLibraryRegistered(true);
}

TEST_F(Registration, UnregisterRemovesEverythingAndKeepsClsid)
{
    ASSERT_EQ(0u, RunRegsvr32(L"/s", dll_));
    ASSERT_EQ(0u, RunRegsvr32(L"/s /u", dll_));
    EXPECT_TRUE(ScriptKeys().empty());
    EXPECT_TRUE(KeyExists(L"CLSID"));
    ExpectTypeLibraryRegistered(false);

    // Registered again for the suites that use the component next.
    ASSERT_EQ(0u, RunRegsvr32(L"/s", dll_));
    EXPECT_EQ(Expected(), ScriptKeys());
}

}  // namespace
}  // namespace zarnocrypt::test
