// IDispatch of ICrypter, answered entirely by the type information of
// ICrypter (crypter_type_info.h), which reaches the methods through the
// dual interface's virtual table.
#include "crypter_errors.h"
#include "crypter_object.h"
#include "crypter_type_info.h"

namespace zarnocrypt {

HRESULT Crypter::Dual::GetTypeInfoCount(UINT* pctinfo) noexcept
{
    // A null pointer would otherwise crash the host.
    if (pctinfo == nullptr)
        return E_POINTER;
    *pctinfo = 1;
    return S_OK;
}

// There is one type information, at index 0.
HRESULT Crypter::Dual::GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) noexcept
{
    if (ppTInfo == nullptr)
        return E_POINTER;
    *ppTInfo = nullptr;
    if (iTInfo != 0)
        return DISP_E_BADINDEX;
    return GetCrypterTypeInfo(lcid, ppTInfo);
}

HRESULT Crypter::Dual::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                     DISPID* rgDispId) noexcept
{
    return GetCrypterIDsOfNames(lcid, rgszNames, cNames, rgDispId);
}

// The locale only chooses the library to load; ITypeInfo::Invoke takes none.
HRESULT Crypter::Dual::Invoke(DISPID dispIdMember, REFIID, LCID lcid, WORD wFlags,
                              DISPPARAMS* pDispParams, VARIANT* pVarResult,
                              EXCEPINFO* pExcepInfo, UINT* puArgErr) noexcept
{
    ITypeInfo* typeInfo = nullptr;
    HRESULT result = GetCrypterTypeInfo(lcid, &typeInfo);
    if (FAILED(result))
        return result;
    if (pDispParams == nullptr) {
        result = E_INVALIDARG;
    } else {
        result = typeInfo->Invoke(static_cast<ICrypter*>(this), dispIdMember, wFlags, pDispParams,
                                  pVarResult, pExcepInfo, puArgErr);
    }
    typeInfo->Release();
    // DISP_E_EXCEPTION carries the method's own record; an argument that
    // could not be converted must not leave an earlier call's record.
    return result == DISP_E_EXCEPTION ? result : WithoutStaleError(result);
}

}  // namespace zarnocrypt
