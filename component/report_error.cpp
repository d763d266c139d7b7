#include "report_error.h"

#include <oleauto.h>

#include "crypter_errors.h"

namespace zarnocrypt {

HRESULT ReportError(HRESULT failure, const wchar_t* description) noexcept
{
    ICreateErrorInfo* creator = nullptr;
    if (FAILED(CreateErrorInfo(&creator)))
        return failure;
    // Set explicitly: Wine's 64-bit CreateErrorInfo leaves the GUID unset.
    creator->SetGUID(GUID_NULL);
    creator->SetSource(const_cast<LPOLESTR>(CRYPTER_PROGID));
    creator->SetDescription(const_cast<LPOLESTR>(description));
    IErrorInfo* record = nullptr;
    const HRESULT query = creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&record));
    creator->Release();
    if (SUCCEEDED(query)) {
        SetErrorInfo(0, record);
        record->Release();
    }
    return failure;
}

}  // namespace zarnocrypt
