#include "crypter.h"

#include <new>

#include "ansi_code_page.h"
#include "crypter_errors.h"
#include "crypter_object.h"
#include "key_text.h"
#include "text_forms.h"
#include "wide_text.h"

namespace zarnocrypt {
namespace {

constexpr wchar_t VERSION_STRING[] = ZARNOCRYPT_VERSION_STRING;

ObjectCountHook objectCountHook = nullptr;

void CountObject(LONG delta) noexcept
{
    if (objectCountHook != nullptr)
        objectCountHook(delta);
}

// A copy of the caller's string up to its first zero character.
HRESULT CopyString(BSTR source, BSTR* out) noexcept
{
    *out = SysAllocString(source);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

const char* TextOf(const NarrowText& narrow) noexcept
{
    return narrow.text ? reinterpret_cast<const char*>(narrow.text.data()) : nullptr;
}

HRESULT WideFromBuffer(const Buffer& text, BSTR* out) noexcept
{
    return WideFromNarrow(reinterpret_cast<const char*>(text.data()), text.size(), out);
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

Crypter& Crypter::impl_from_ICrypter(ICrypter* iface) noexcept
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

HRESULT Crypter::EncryptString(BSTR strInput, BSTR* pOut, std::uint32_t options) noexcept
{
    if (pOut == nullptr)
        return E_POINTER;
    *pOut = nullptr;
    // The key test comes first: without a key even a null input fails.
    if (!key_.HasKeyBytes())
        return ReportFailure(KEY_HAS_NOT_BEEN_SET);
    if (strInput == nullptr)
        return S_OK;

    const NarrowText narrow = NarrowFromWide(strInput);
    if (FAILED(narrow.status))
        return narrow.status;
    Buffer marked;
    switch (EncryptText(TextOf(narrow), key_, options, AnsiCodePage(), marked)) {
    case Status::Ok:
        return WideFromBuffer(marked, pOut);
    case Status::AlreadyMarked:
        return CopyString(strInput, pOut);
    case Status::NoMemory:
        return E_OUTOFMEMORY;
    default:
        return ReportFailure(ENCRYPT_FAILED);
    }
}

HRESULT Crypter::Decrypt(BSTR strInput, BSTR* pOut) noexcept
{
    if (pOut == nullptr)
        return E_POINTER;
    *pOut = nullptr;

    const NarrowText narrow = NarrowFromWide(strInput);
    if (FAILED(narrow.status))
        return narrow.status;
    Buffer plaintext;
    switch (DecryptText(TextOf(narrow), narrow.text.size(), key_, plaintext)) {
    case Status::Ok:
        return WideFromBuffer(plaintext, pOut);
    case Status::NotMarked:
        return strInput == nullptr ? S_OK : CopyString(strInput, pOut);
    case Status::Damaged:
        return ReportFailure(CODE_DAMAGED);
    case Status::NoKey:
        return ReportFailure(KEY_NOT_SET);
    case Status::NoMemory:
        return E_OUTOFMEMORY;
    default:
        return ReportFailure(DECRYPT_FAILED);
    }
}

// Never fails but for memory; the key is then left empty rather than half set.
HRESULT Crypter::SetKey(BSTR strKey) noexcept
{
    const NarrowText narrow = NarrowFromWide(strKey);
    if (FAILED(narrow.status))
        return narrow.status;
    return LoadKeyText(key_, TextOf(narrow), narrow.text.size()) == Status::NoMemory ? E_OUTOFMEMORY : S_OK;
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
    return WithoutStaleError(impl_from_ICrypter(this).EncryptString(strInput, pOut, 0));
}

HRESULT Crypter::Dual::HtmlEncrypt(BSTR strInput, BSTR* pOut) noexcept
{
    return WithoutStaleError(impl_from_ICrypter(this).EncryptString(strInput, pOut, FORM_HTML_COMMENT));
}

HRESULT Crypter::Dual::MultilineEncrypt(BSTR strInput, BSTR* pOut) noexcept
{
    return WithoutStaleError(impl_from_ICrypter(this).EncryptString(strInput, pOut, FORM_LINE_BREAKS));
}

HRESULT Crypter::Dual::Decrypt(BSTR strInput, BSTR* pOut) noexcept
{
    return WithoutStaleError(impl_from_ICrypter(this).Decrypt(strInput, pOut));
}

HRESULT Crypter::Dual::SetKey(BSTR strKey) noexcept
{
    return WithoutStaleError(impl_from_ICrypter(this).SetKey(strKey));
}

HRESULT Crypter::Dual::GetVersionString(BSTR* pVersionString) noexcept
{
    return WithoutStaleError(impl_from_ICrypter(this).GetVersionString(pVersionString));
}

HRESULT Crypter::Dual::EncryptEx(VARIANT vInput, VARIANT* vOut) noexcept
{
    return WithoutStaleError(impl_from_ICrypter(this).CryptBytes(CryptDirection::Encrypt, vInput, vOut));
}

HRESULT Crypter::Dual::DecryptEx(VARIANT vInput, VARIANT* vOut) noexcept
{
    return WithoutStaleError(impl_from_ICrypter(this).CryptBytes(CryptDirection::Decrypt, vInput, vOut));
}

HRESULT Crypter::ErrorInfoSupport::InterfaceSupportsErrorInfo(REFIID riid) noexcept
{
    return IsEqualIID(riid, IID_ICrypter) ? S_OK : S_FALSE;
}

}  // namespace zarnocrypt
