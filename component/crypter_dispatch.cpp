// IDispatch of ICrypter, answered by the type information of ICrypter.
//
// Until the server module carries the type library as a resource, it is
// read from "Zarnocrypt.tlb" beside the module that holds this code.
#include <array>

#include "crypter_object.h"

namespace zarnocrypt {
namespace {

constexpr wchar_t TYPE_LIBRARY_FILE[] = L"Zarnocrypt.tlb";

HRESULT LoadCrypterTypeInfo(ITypeInfo** typeInfo) noexcept
{
    *typeInfo = nullptr;
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&LoadCrypterTypeInfo), &module))
        return HRESULT_FROM_WIN32(GetLastError());

    std::array<wchar_t, MAX_PATH + 1> path{};
    const DWORD length = GetModuleFileNameW(module, path.data(), MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return TYPE_E_CANTLOADLIBRARY;
    DWORD directoryEnd = length;
    while (directoryEnd > 0 && path[directoryEnd - 1] != L'\\' && path[directoryEnd - 1] != L'/')
        --directoryEnd;
    if (directoryEnd + std::size(TYPE_LIBRARY_FILE) > path.size())
        return TYPE_E_CANTLOADLIBRARY;
    for (const wchar_t c : TYPE_LIBRARY_FILE)
        path[directoryEnd++] = c;

    ITypeLib* library = nullptr;
    const HRESULT loaded = LoadTypeLibEx(path.data(), REGKIND_NONE, &library);
    if (FAILED(loaded))
        return loaded;
    const HRESULT found = library->GetTypeInfoOfGuid(IID_ICrypter, typeInfo);
    library->Release();
    return found;
}

}  // namespace

HRESULT Crypter::Dual::GetTypeInfoCount(UINT* pctinfo) noexcept
{
    if (pctinfo == nullptr)
        return E_POINTER;
    *pctinfo = 1;
    return S_OK;
}

HRESULT Crypter::Dual::GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) noexcept
{
    if (ppTInfo == nullptr)
        return E_POINTER;
    return LoadCrypterTypeInfo(ppTInfo);
}

HRESULT Crypter::Dual::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID,
                                     DISPID* rgDispId) noexcept
{
    ITypeInfo* typeInfo = nullptr;
    HRESULT result = LoadCrypterTypeInfo(&typeInfo);
    if (SUCCEEDED(result)) {
        result = typeInfo->GetIDsOfNames(rgszNames, cNames, rgDispId);
        typeInfo->Release();
    }
    return result;
}

HRESULT Crypter::Dual::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags,
                              DISPPARAMS* pDispParams, VARIANT* pVarResult,
                              EXCEPINFO* pExcepInfo, UINT* puArgErr) noexcept
{
    ITypeInfo* typeInfo = nullptr;
    HRESULT result = LoadCrypterTypeInfo(&typeInfo);
    if (SUCCEEDED(result)) {
        result = typeInfo->Invoke(static_cast<ICrypter*>(this), dispIdMember, wFlags, pDispParams,
                                  pVarResult, pExcepInfo, puArgErr);
        typeInfo->Release();
    }
    return result;
}

}  // namespace zarnocrypt
