#include "crypter.h"

#include <new>

#include "crypter_errors.h"
#include "crypter_object.h"
#include "text_forms.h"

namespace zarnocrypt {
namespace {

constexpr wchar_t VERSION_STRING[] = ZARNOCRYPT_VERSION_STRING;

ObjectCountHook objectCountHook = nullptr;

void CountObject(LONG delta) noexcept
{
    if (objectCountHook != nullptr)
        objectCountHook(delta);
}

}  // namespace

HRESULT CreateCrypter(REFIID riid, void** ppv) noexcept
{
    return Crypter::Create(riid, ppv);
}

void SetObjectCountHook(ObjectCountHook hook) noexcept
{
    objectCountHook = hook;
}

Crypter::Crypter(IUnknown* outer) noexcept : outer_(outer)
{
    CountObject(+1);
}

Crypter::~Crypter()
{
    CountObject(-1);
}

HRESULT Crypter::Create(REFIID riid, void** ppv) noexcept
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    Crypter* object = new (std::nothrow) Crypter();
    if (object == nullptr)
        return E_OUTOFMEMORY;
    // The query adds its own reference; dropping the creation one destroys the
    // object if the query failed.
    const HRESULT result = object->InternalQueryInterface(riid, ppv);
    object->InternalRelease();
    return result;
}

Crypter& Crypter::impl_from_ICrypter2(ICrypter2* iface) noexcept
{
    return static_cast<Dual*>(iface)->owner_;
}

Crypter& Crypter::impl_from_ISupportErrorInfo(ISupportErrorInfo* iface) noexcept
{
    return static_cast<ErrorInfoSupport*>(iface)->owner_;
}

HRESULT Crypter::InternalQueryInterface(REFIID riid, void** ppv) noexcept
{
    struct InterfaceEntry {
        const IID* iid;
        IUnknown* (*pointer)(Crypter& object) noexcept;
    };
    // IUnknown is answered with the first entry, so identity comparisons hold.
    static const InterfaceEntry INTERFACES[] = {
        {&IID_ICrypter2, [](Crypter& object) noexcept -> IUnknown* { return &object.dual_; }},
        {&IID_ICrypter, [](Crypter& object) noexcept -> IUnknown* { return &object.dual_; }},
        {&IID_IDispatch, [](Crypter& object) noexcept -> IUnknown* { return &object.dual_; }},
        {&IID_ISupportErrorInfo,
         [](Crypter& object) noexcept -> IUnknown* { return &object.errorInfoSupport_; }},
    };

    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown)) {
        *ppv = INTERFACES[0].pointer(*this);
    } else {
        for (const InterfaceEntry& entry : INTERFACES) {
            if (IsEqualIID(riid, *entry.iid)) {
                *ppv = entry.pointer(*this);
                break;
            }
        }
    }
    if (*ppv == nullptr)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG Crypter::InternalAddRef() noexcept
{
    return ++references_;
}

ULONG Crypter::InternalRelease() noexcept
{
    const ULONG remaining = --references_;
    if (remaining == 0)
        delete this;
    return remaining;
}

HRESULT Crypter::QueryInterface(REFIID riid, void** ppv) noexcept
{
    return outer_ != nullptr ? outer_->QueryInterface(riid, ppv) : InternalQueryInterface(riid, ppv);
}

ULONG Crypter::AddRef() noexcept
{
    return outer_ != nullptr ? outer_->AddRef() : InternalAddRef();
}

ULONG Crypter::Release() noexcept
{
    return outer_ != nullptr ? outer_->Release() : InternalRelease();
}

HRESULT Crypter::GetVersionString(BSTR* pVersionString) noexcept
{
    if (pVersionString == nullptr)
        return E_POINTER;
    *pVersionString = SysAllocString(VERSION_STRING);
    return *pVersionString != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT Crypter::CryptBytes(CryptDirection direction, const VARIANT& vInput, VARIANT* vOut) noexcept
{
    if (vOut == nullptr)
        return E_POINTER;
    return CryptByteArray(key_, direction, vInput, vOut);
}

// ICrypter's methods pass the call to the object and clear a stale error
// record after a failure that publishes none.
HRESULT Crypter::Dual::Encrypt(BSTR strInput, BSTR* pOut) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).EncryptString(strInput, pOut, 0));
}

HRESULT Crypter::Dual::HtmlEncrypt(BSTR strInput, BSTR* pOut) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).EncryptString(strInput, pOut, FORM_HTML_COMMENT));
}

HRESULT Crypter::Dual::MultilineEncrypt(BSTR strInput, BSTR* pOut) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).EncryptString(strInput, pOut, FORM_LINE_BREAKS));
}

HRESULT Crypter::Dual::Decrypt(BSTR strInput, BSTR* pOut) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).Decrypt(strInput, pOut));
}

HRESULT Crypter::Dual::SetKey(BSTR strKey) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).SetKey(strKey));
}

HRESULT Crypter::Dual::GetVersionString(BSTR* pVersionString) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).GetVersionString(pVersionString));
}

HRESULT Crypter::Dual::EncryptEx(VARIANT vInput, VARIANT* vOut) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).CryptBytes(CryptDirection::Encrypt, vInput, vOut));
}

HRESULT Crypter::Dual::DecryptEx(VARIANT vInput, VARIANT* vOut) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).CryptBytes(CryptDirection::Decrypt, vInput, vOut));
}

HRESULT Crypter::ErrorInfoSupport::InterfaceSupportsErrorInfo(REFIID riid) noexcept
{
    return IsEqualIID(riid, IID_ICrypter) || IsEqualIID(riid, IID_ICrypter2) ? S_OK : S_FALSE;
}

}  // namespace zarnocrypt
