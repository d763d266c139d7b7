// Our registrar against Wine's registry. The component script runs below a
// scratch key of its own, so parallel suites that register the real DLL in
// the same prefix are never disturbed; one small test-only script checks
// the resource entry below HKEY_CLASSES_ROOT itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "Zarnocrypt_h.h"
#include "registrar_win.h"
#include "registry_snapshot.h"

namespace zarnocrypt {
namespace {

constexpr UINT COMPONENT_SCRIPT = 101;
constexpr UINT TEST_SCRIPT = 102;

using test::Snapshot;
using test::TakeSnapshot;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string ResourceText(UINT id)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"REGISTRY");
    if (found == nullptr) return {};
    const char* text = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return std::string(text, SizeofResource(module, found));
}

class Registrar : public testing::Test {
protected:
    void SetUp() override
    {
        scratchPath_ = L"Software\\ZarnocryptRegistrarTest\\" + std::to_wstring(GetCurrentProcessId());
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, scratchPath_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &scratch_, nullptr), ERROR_SUCCESS);
        ASSERT_TRUE(AddGuidReplacement(replacements_, "CLSID", CLSID_Crypter));
        ASSERT_TRUE(AddGuidReplacement(replacements_, "LIBID", LIBID_ZARNOCRYPTLib));
        replacements_["MODULE"] = "C:\\It's 100% mine\\Zarnocrypt.dll";
        clsidKey_ = L"CLSID\\" + Wide(replacements_["CLSID"]);
        script_ = ResourceText(COMPONENT_SCRIPT);
        ASSERT_FALSE(script_.empty());
    }

    void TearDown() override
    {
        RegCloseKey(scratch_);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ZarnocryptRegistrarTest");
    }

    HRESULT Update(bool registering, const std::string& script)
    {
        return UpdateRegistryFromText(scratch_, script, registering, replacements_);
    }

    Snapshot Contents()
    {
        Snapshot snapshot;
        TakeSnapshot(scratch_, L"", snapshot);
        snapshot.erase(L"");  // the scratch key itself
        return snapshot;
    }

    void AddKey(const std::wstring& path, const wchar_t* value = nullptr)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(scratch_, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (value)
            RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           DWORD((wcslen(value) + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }

    std::wstring scratchPath_;
    HKEY scratch_ = nullptr;
    ReplacementMap replacements_;
    std::wstring clsidKey_;
    std::string script_;
};

// Another class's key shows that CLSID is shared and must survive.
const std::wstring OTHER_CLASS = L"CLSID\\{00000000-0000-0000-C000-000000000046}";

TEST_F(Registrar, RegisterWritesTheTableAndIsIdempotent)
{
    AddKey(OTHER_CLASS, L"Someone else");
    ASSERT_EQ(Update(true, script_), S_OK);
    const std::wstring clsid = Wide(replacements_["CLSID"]);
    const Snapshot expected = {
        {L"Zarnocrypt.Crypter.1", {{L"@", L"s:Crypter Class"}}},
        {L"Zarnocrypt.Crypter.1\\CLSID", {{L"@", L"s:" + clsid}}},
        {L"Zarnocrypt.Crypter", {{L"@", L"s:Crypter Class"}}},
        {L"Zarnocrypt.Crypter\\CLSID", {{L"@", L"s:" + clsid}}},
        {L"Zarnocrypt.Crypter\\CurVer", {{L"@", L"s:Zarnocrypt.Crypter.1"}}},
        {L"CLSID", {}},
        {OTHER_CLASS, {{L"@", L"s:Someone else"}}},
        {clsidKey_, {{L"@", L"s:Crypter Class"}}},
        {clsidKey_ + L"\\ProgID", {{L"@", L"s:Zarnocrypt.Crypter.1"}}},
        {clsidKey_ + L"\\VersionIndependentProgID", {{L"@", L"s:Zarnocrypt.Crypter"}}},
        {clsidKey_ + L"\\Programmable", {}},
        {clsidKey_ + L"\\InprocServer32",
         {{L"@", L"s:C:\\It's 100% mine\\Zarnocrypt.dll"}, {L"ThreadingModel", L"s:Apartment"}}},
        {clsidKey_ + L"\\TypeLib", {{L"@", L"s:" + Wide(replacements_["LIBID"])}}},
    };
    EXPECT_EQ(Contents(), expected);

    // ForceRemove keys come back with exactly the script's content.
    AddKey(clsidKey_ + L"\\Stray\\Deeper", L"stray");
    AddKey(clsidKey_ + L"\\Programmable\\Stray");
    ASSERT_EQ(Update(true, script_), S_OK);
    EXPECT_EQ(Contents(), expected);
}

TEST_F(Registrar, UnregisterRemovesTheScriptKeysAndKeepsClsid)
{
    AddKey(OTHER_CLASS, L"Someone else");
    ASSERT_EQ(Update(true, script_), S_OK);
    AddKey(L"Zarnocrypt.Crypter\\Stray");  // a leftover must not block the removal
    ASSERT_EQ(Update(false, script_), S_OK);
    const Snapshot expected = {{L"CLSID", {}}, {OTHER_CLASS, {{L"@", L"s:Someone else"}}}};
    EXPECT_EQ(Contents(), expected);
    EXPECT_EQ(Update(false, script_), S_OK);  // nothing left to remove is no failure
    EXPECT_EQ(Contents(), expected);
}

TEST_F(Registrar, MalformedScriptWritesNothing)
{
    EXPECT_EQ(Update(true, script_ + " }"), E_REGISTRY_SCRIPT_INVALID);
    EXPECT_EQ(Update(true, script_.substr(0, script_.size() / 2)), E_REGISTRY_SCRIPT_INVALID);
    replacements_.erase("LIBID");  // the last key needs it
    EXPECT_EQ(Update(true, script_), E_REGISTRY_SCRIPT_INVALID);
    EXPECT_TRUE(Contents().empty());
}

TEST_F(Registrar, RegisterStopsAtTheFirstFailureUnregisterGoesOn)
{
    const std::vector<RegistryOp> ops = {
        {RegistryOpKind::SetValue, "Missing", "", {RegistryValueType::String, "x", 0}},
        {RegistryOpKind::CreateKey, "After", "", {}},
    };
    EXPECT_EQ(ApplyRegistryPlan(scratch_, ops, RegistryMode::Register), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(Contents().empty());
    EXPECT_EQ(ApplyRegistryPlan(scratch_, ops, RegistryMode::Unregister), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Contents().count(L"After"), 1u);
}

TEST(GuidReplacement, IsTheBracedRegistryForm)
{
    const GUID guid = {0x01234567, 0x89ab, 0xcdef, {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef}};
    ReplacementMap replacements;
    ASSERT_TRUE(AddGuidReplacement(replacements, "X", guid));
    EXPECT_EQ(replacements["X"], "{01234567-89AB-CDEF-0123-456789ABCDEF}");
}

// The module's entry: resource text, HKEY_CLASSES_ROOT, %MODULE% from the module.
TEST(ResourceEntry, RunsTheResourceScriptWithTheModulePath)
{
    const std::string testKey = "ZarnocryptRegistrarTest." + std::to_string(GetCurrentProcessId());
    const ReplacementMap replacements = {{"TESTKEY", testKey}};
    HMODULE module = GetModuleHandleW(nullptr);
    ASSERT_EQ(UpdateRegistryFromResource(module, TEST_SCRIPT, true, replacements), S_OK);

    wchar_t expectedPath[MAX_PATH];
    GetModuleFileNameW(module, expectedPath, MAX_PATH);
    wchar_t path[MAX_PATH] = {};
    DWORD size = sizeof path, number = 0, numberSize = sizeof number;
    const std::wstring key = Wide(testKey);
    EXPECT_EQ(RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, path, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(path, expectedPath);
    EXPECT_EQ(RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), L"Number", RRF_RT_REG_DWORD, nullptr, &number,
                           &numberSize), ERROR_SUCCESS);
    EXPECT_EQ(number, 16u);

    ASSERT_EQ(UpdateRegistryFromResource(module, TEST_SCRIPT, false, replacements), S_OK);
    HKEY gone;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(UpdateRegistryFromResource(module, 999, true, replacements),
              HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND));
}

}  // namespace
}  // namespace zarnocrypt
