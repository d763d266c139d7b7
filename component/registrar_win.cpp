#include "registrar_win.h"

#include <objbase.h>

#include <iterator>
#include <new>

namespace zarnocrypt {
namespace {

// Script text is UTF-8 (ASCII in practice); the registry takes UTF-16.
bool WideFromUtf8(const std::string& text, std::wstring& wide)
{
    wide.clear();
    if (text.empty()) return true;
    int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()), nullptr, 0);
    if (size <= 0) return false;
    wide.resize(std::size_t(size));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), int(text.size()),
                               wide.data(), size) == size;
}

bool Utf8FromWide(const wchar_t* wide, std::string& text)
{
    text.clear();
    int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    text.resize(std::size_t(size));
    if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr) != size) return false;
    text.pop_back();  // the terminating NUL
    return true;
}

bool IsGone(LONG status) { return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND; }

// RegDeleteTreeW needs Vista; deleting children first works everywhere.
LONG DeleteTree(HKEY parent, const wchar_t* path)
{
    HKEY key;
    LONG status = RegOpenKeyExW(parent, path, 0, KEY_READ | DELETE, &key);
    if (status != ERROR_SUCCESS) return IsGone(status) ? ERROR_SUCCESS : status;
    wchar_t child[256];  // the registry's limit for a key name is 255 characters
    for (;;) {
        DWORD length = DWORD(std::size(child));
        // Always index 0: the enumeration shifts as children are deleted.
        status = RegEnumKeyExW(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) break;
        status = DeleteTree(key, child);
        if (status != ERROR_SUCCESS) break;
    }
    RegCloseKey(key);
    if (status != ERROR_NO_MORE_ITEMS) return status;
    status = RegDeleteKeyW(parent, path);
    return IsGone(status) ? ERROR_SUCCESS : status;
}

LONG CreateKey(HKEY root, const wchar_t* path)
{
    HKEY key;
    LONG status = RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                                  nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    return status;
}

LONG SetValue(HKEY root, const wchar_t* path, const wchar_t* name, const RegistryValue& value)
{
    HKEY key;
    LONG status = RegOpenKeyExW(root, path, 0, KEY_SET_VALUE, &key);
    if (status != ERROR_SUCCESS) return status;
    if (value.type == RegistryValueType::Dword) {
        DWORD number = value.number;
        status = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    } else {
        std::wstring text;
        if (WideFromUtf8(value.text, text)) {
            DWORD bytes = DWORD((text.size() + 1) * sizeof(wchar_t));  // with its NUL
            status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
        } else {
            status = ERROR_NO_UNICODE_TRANSLATION;
        }
    }
    RegCloseKey(key);
    return status;
}

LONG DeleteValue(HKEY root, const wchar_t* path, const wchar_t* name)
{
    HKEY key;
    LONG status = RegOpenKeyExW(root, path, 0, KEY_SET_VALUE, &key);
    if (status == ERROR_SUCCESS) {
        status = RegDeleteValueW(key, name);
        RegCloseKey(key);
    }
    return IsGone(status) ? ERROR_SUCCESS : status;
}

LONG ApplyOp(HKEY root, const RegistryOp& op)
{
    std::wstring path;
    std::wstring name;
    if (!WideFromUtf8(op.keyPath, path) || !WideFromUtf8(op.valueName, name))
        return ERROR_NO_UNICODE_TRANSLATION;
    // An empty path would make the root itself the target.
    if (path.empty()) return ERROR_INVALID_PARAMETER;
    switch (op.kind) {
    case RegistryOpKind::DeleteTree: return DeleteTree(root, path.c_str());
    case RegistryOpKind::CreateKey: return CreateKey(root, path.c_str());
    case RegistryOpKind::SetValue: return SetValue(root, path.c_str(), name.c_str(), op.value);
    case RegistryOpKind::DeleteValue: return DeleteValue(root, path.c_str(), name.c_str());
    }
    return ERROR_INVALID_PARAMETER;
}

bool ModulePath(HMODULE module, std::string& path)
{
    std::wstring wide(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(module, wide.data(), DWORD(wide.size()));
        if (length == 0) return false;
        if (length < wide.size()) {
            wide.resize(length);
            return Utf8FromWide(wide.c_str(), path);
        }
        if (wide.size() >= 32768) return false;  // longer than any Windows path
        wide.resize(wide.size() * 2);
    }
}

}  // namespace

HRESULT ApplyRegistryPlan(HKEY root, const std::vector<RegistryOp>& ops, RegistryMode mode) noexcept
{
    try {
        HRESULT first = S_OK;
        for (const RegistryOp& op : ops) {
            LONG status = ApplyOp(root, op);
            if (status == ERROR_SUCCESS) continue;
            if (first == S_OK) first = HRESULT_FROM_WIN32(status);
            if (mode == RegistryMode::Register) break;
        }
        return first;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT UpdateRegistryFromText(HKEY root, std::string_view script, bool registering,
                               const ReplacementMap& replacements) noexcept
{
    ParseResult parsed = ParseRegistryScript(script, replacements);
    if (parsed.error == ScriptError::OutOfMemory) return E_OUTOFMEMORY;
    if (!parsed.script) return E_REGISTRY_SCRIPT_INVALID;
    RegistryMode mode = registering ? RegistryMode::Register : RegistryMode::Unregister;
    std::vector<RegistryOp> ops;
    if (!PlanRegistryUpdate(*parsed.script, mode, ops)) return E_OUTOFMEMORY;
    return ApplyRegistryPlan(root, ops, mode);
}

HRESULT UpdateRegistryFromResource(HMODULE module, UINT resourceId, bool registering,
                                   const ReplacementMap& replacements) noexcept
{
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resourceId), L"REGISTRY");
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const char* text = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (text == nullptr) return HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND);
    std::string_view script(text, SizeofResource(module, found));
    try {
        ReplacementMap all = replacements;
        if (!ModulePath(module, all["MODULE"])) {
            DWORD error = GetLastError();
            return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
        }
        return UpdateRegistryFromText(HKEY_CLASSES_ROOT, script, registering, all);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

bool AddGuidReplacement(ReplacementMap& replacements, const char* name, REFGUID guid) noexcept
{
    wchar_t text[40];  // 38 characters and a NUL
    if (StringFromGUID2(guid, text, int(std::size(text))) == 0) return false;
    try {
        std::string& slot = replacements[name];
        return Utf8FromWide(text, slot);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace zarnocrypt
