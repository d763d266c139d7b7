#include "registration.h"

#include <objbase.h>
#include <oleauto.h>

#include <cwchar>
#include <iterator>
#include <new>
#include <string>
#include <string_view>

#include "Zarnocrypt_h.h"

namespace zarnocrypt {
namespace {

enum RowFlags : unsigned {
    PLAIN = 0,
    FORCE_REMOVE = 1,  // registering deletes the key with everything below it before writing it again
    NO_REMOVE = 2,     // unregistering never deletes the key, only what other rows name below it
};

// One key below HKEY_CLASSES_ROOT and at most one of its values; a key's
// first row carries its flags. %CLSID% and %LIBID% stand for the braced
// identifiers, %MODULE% for the DLL's full path.
struct RegistryRow {
    const wchar_t* key;
    const wchar_t* valueName;  // null: the default value
    const wchar_t* value;      // null: the key alone
    unsigned flags;
};

// In writing order; unregistering goes through it backwards, deepest first.
constexpr RegistryRow REGISTRY_ROWS[] = {
    {L"Zarnocrypt.Crypter.1", nullptr, L"Crypter Class", PLAIN},
    {L"Zarnocrypt.Crypter.1\\CLSID", nullptr, L"%CLSID%", PLAIN},
    {L"Zarnocrypt.Crypter", nullptr, L"Crypter Class", PLAIN},
    {L"Zarnocrypt.Crypter\\CLSID", nullptr, L"%CLSID%", PLAIN},
    {L"Zarnocrypt.Crypter\\CurVer", nullptr, L"Zarnocrypt.Crypter.1", PLAIN},
    {L"CLSID", nullptr, nullptr, NO_REMOVE},
    {L"CLSID\\%CLSID%", nullptr, L"Crypter Class", FORCE_REMOVE},
    {L"CLSID\\%CLSID%\\ProgID", nullptr, L"Zarnocrypt.Crypter.1", PLAIN},
    {L"CLSID\\%CLSID%\\VersionIndependentProgID", nullptr, L"Zarnocrypt.Crypter", PLAIN},
    {L"CLSID\\%CLSID%\\Programmable", nullptr, nullptr, FORCE_REMOVE},
    {L"CLSID\\%CLSID%\\InprocServer32", nullptr, L"%MODULE%", PLAIN},
    {L"CLSID\\%CLSID%\\InprocServer32", L"ThreadingModel", L"Apartment", PLAIN},
    {L"CLSID\\%CLSID%\\TypeLib", nullptr, L"%LIBID%", PLAIN},
};

struct Fill {
    wchar_t clsid[40];  // 38 characters and a NUL
    wchar_t libid[40];
    std::wstring module;

    std::wstring Expand(const wchar_t* pattern) const
    {
        std::wstring out;
        for (const wchar_t* at = pattern; *at != L'\0'; ++at) {
            if (*at != L'%') {
                out += *at;
                continue;
            }
            const wchar_t* end = std::wcschr(at + 1, L'%');
            const std::wstring_view name(at + 1, std::size_t(end - at - 1));
            out += name == L"CLSID" ? clsid : name == L"LIBID" ? libid : module.c_str();
            at = end;
        }
        return out;
    }
};

HRESULT ModulePath(HMODULE module, std::wstring& path)
{
    path.assign(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), DWORD(path.size()));
        if (length == 0)
            return HRESULT_FROM_WIN32(GetLastError());
        if (length < path.size()) {
            path.resize(length);
            return S_OK;
        }
        if (path.size() >= 32768)  // longer than any Windows path
            return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        path.resize(path.size() * 2);
    }
}

HRESULT MakeFill(HMODULE module, Fill& fill)
{
    StringFromGUID2(CLSID_Crypter, fill.clsid, int(std::size(fill.clsid)));
    StringFromGUID2(LIBID_ZARNOCRYPTLib, fill.libid, int(std::size(fill.libid)));
    return ModulePath(module, fill.module);
}

bool IsGone(LONG status)
{
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
}

// RegDeleteTreeW needs Vista; deleting children first works everywhere. A
// key that is already gone is no failure.
LONG DeleteTree(HKEY parent, const wchar_t* path)
{
    HKEY key;
    LONG status = RegOpenKeyExW(parent, path, 0, KEY_READ | DELETE, &key);
    if (status != ERROR_SUCCESS)
        return IsGone(status) ? ERROR_SUCCESS : status;
    wchar_t child[256];  // the registry's limit for a key name is 255 characters
    for (;;) {
        DWORD length = DWORD(std::size(child));
        // Always index 0: the enumeration shifts as children are deleted.
        status = RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS)
            break;
        status = DeleteTree(key, child);
        if (status != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
    if (status != ERROR_NO_MORE_ITEMS)
        return status;
    status = RegDeleteKeyW(parent, path);
    return IsGone(status) ? ERROR_SUCCESS : status;
}

LONG DeleteValue(const wchar_t* path, const wchar_t* name)
{
    HKEY key;
    LONG status = RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_SET_VALUE, &key);
    if (status == ERROR_SUCCESS) {
        status = RegDeleteValueW(key, name);
        RegCloseKey(key);
    }
    return IsGone(status) ? ERROR_SUCCESS : status;
}

// Creates the key (and any missing parent), keeping one that exists.
LONG WriteRow(const RegistryRow& row, const std::wstring& path, const Fill& fill)
{
    if (row.flags & FORCE_REMOVE) {
        const LONG status = DeleteTree(HKEY_CLASSES_ROOT, path.c_str());
        if (status != ERROR_SUCCESS)
            return status;
    }
    HKEY key;
    LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    if (row.value != nullptr) {
        const std::wstring value = fill.Expand(row.value);
        const DWORD bytes = DWORD((value.size() + 1) * sizeof(wchar_t));  // with its NUL
        status = RegSetValueExW(key, row.valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    }
    RegCloseKey(key);
    return status;
}

// A value row takes only its value; a key row its key with everything below it.
LONG RemoveRow(const RegistryRow& row, const std::wstring& path)
{
    if (row.valueName != nullptr)
        return DeleteValue(path.c_str(), row.valueName);
    if (row.flags & NO_REMOVE)
        return ERROR_SUCCESS;
    return DeleteTree(HKEY_CLASSES_ROOT, path.c_str());
}

HRESULT WriteRows(const Fill& fill)
{
    for (const RegistryRow& row : REGISTRY_ROWS) {
        const LONG status = WriteRow(row, fill.Expand(row.key), fill);
        if (status != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(status);
    }
    return S_OK;
}

HRESULT RemoveRows(const Fill& fill)
{
    HRESULT first = S_OK;
    for (auto row = std::rbegin(REGISTRY_ROWS); row != std::rend(REGISTRY_ROWS); ++row) {
        const LONG status = RemoveRow(*row, fill.Expand(row->key));
        if (status != ERROR_SUCCESS && first == S_OK)
            first = HRESULT_FROM_WIN32(status);
    }
    return first;
}

HRESULT RegisterTypeLibrary(std::wstring& path)
{
    ITypeLib* library = nullptr;
    HRESULT result = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(result))
        return result;
    result = RegisterTypeLib(library, path.data(), nullptr);
    library->Release();
    return result;
}

// The library's keys are already gone when it was never registered, which
// is the state unregistration asks for. Only this build's own platform entry
// goes: a 32-bit and a 64-bit DLL registered side by side share the
// library's key, each under its own platform subkey.
HRESULT UnregisterTypeLibrary()
{
    constexpr SYSKIND ownPlatform = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
    const HRESULT result = UnRegisterTypeLib(LIBID_ZARNOCRYPTLib, 1, 0, 0, ownPlatform);
    ITypeLib* library = nullptr;
    if (FAILED(result) && LoadRegTypeLib(LIBID_ZARNOCRYPTLib, 1, 0, 0, &library) == TYPE_E_LIBNOTREGISTERED)
        return S_OK;
    if (library != nullptr)
        library->Release();
    return result;
}

// Every step needs the identifiers and the module's path filled in; any of
// them may run out of memory.
template <typename Step>
HRESULT WithFill(HMODULE module, Step step) noexcept
{
    try {
        Fill fill;
        const HRESULT result = MakeFill(module, fill);
        return SUCCEEDED(result) ? step(fill) : result;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace

HRESULT RegisterServer(HMODULE module) noexcept
{
    return WithFill(module, [](Fill& fill) {
        const HRESULT result = WriteRows(fill);
        return SUCCEEDED(result) ? RegisterTypeLibrary(fill.module) : result;
    });
}

HRESULT UnregisterServer(HMODULE module) noexcept
{
    return WithFill(module, [](const Fill& fill) {
        const HRESULT result = RemoveRows(fill);
        return SUCCEEDED(result) ? UnregisterTypeLibrary() : result;
    });
}

}  // namespace zarnocrypt
