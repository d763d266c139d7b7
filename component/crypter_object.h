// The Crypter object in COM style: its interfaces are embedded members that
// hand every call to the object, which owns the one reference count.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string_view>

#include "Zarnocrypt_h.h"
#include "buffer.h"
#include "crypt_byte_array.h"
#include "rijndael_key.h"
#include "wide_text.h"

namespace zarnocrypt {

class Crypter final {
public:
    static HRESULT Create(REFIID riid, void** ppv) noexcept;

    Crypter(const Crypter&) = delete;
    Crypter& operator=(const Crypter&) = delete;

    // The interface table. The reference it adds goes where the interfaces'
    // AddRef goes: to the outer object when aggregated.
    HRESULT InternalQueryInterface(REFIID riid, void** ppv) noexcept;
    // The object's own count; only a plain object lives by it.
    ULONG InternalAddRef() noexcept;
    ULONG InternalRelease() noexcept;

    // What the interfaces' IUnknown methods do: the outer object's when
    // aggregated, the object's own otherwise.
    HRESULT QueryInterface(REFIID riid, void** ppv) noexcept;
    ULONG AddRef() noexcept;
    ULONG Release() noexcept;

    // ICrypter (crypter_text.cpp, crypter.cpp)
    HRESULT EncryptString(BSTR strInput, BSTR* pOut, std::uint32_t options) noexcept;
    HRESULT Decrypt(BSTR strInput, BSTR* pOut) noexcept;
    HRESULT SetKey(BSTR strKey) noexcept;
    HRESULT GetVersionString(BSTR* pVersionString) noexcept;
    HRESULT CryptBytes(CryptDirection direction, const VARIANT& vInput, VARIANT* vOut) noexcept;

    // ICrypter2 (crypter2.cpp)
    HRESULT GetTextEncoding(BSTR* encoding) noexcept;
    HRESULT PutTextEncoding(BSTR encoding) noexcept;
    HRESULT CryptData(CryptDirection direction, const VARIANT& data, VARIANT* result) noexcept;
    HRESULT CryptFileAt(CryptDirection direction, BSTR source, BSTR destination) noexcept;
    HRESULT IsEncrypted(BSTR text, VARIANT_BOOL* result) noexcept;
    HRESULT GetCipherPath(BSTR* path) noexcept;
    // (crypter_sealed.cpp)
    HRESULT GetFormat(BSTR* format) noexcept;
    HRESULT PutFormat(BSTR format) noexcept;

private:
    // An interface embedded in the object: its IUnknown methods are the object's.
    template <typename Interface>
    class Embedded : public Interface {
    public:
        explicit Embedded(Crypter& owner) noexcept : owner_(owner) {}

        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept final
        {
            return owner_.QueryInterface(riid, ppv);
        }
        ULONG STDMETHODCALLTYPE AddRef() noexcept final { return owner_.AddRef(); }
        ULONG STDMETHODCALLTYPE Release() noexcept final { return owner_.Release(); }

    private:
        friend class Crypter;
        Crypter& owner_;
    };

    // The dual interface, ICrypter2 and the ICrypter it extends; its
    // IDispatch half lives in crypter_dispatch.cpp.
    class Dual final : public Embedded<ICrypter2> {
    public:
        using Embedded::Embedded;

        HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) noexcept override;
        HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) noexcept override;
        HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                                DISPID* rgDispId) noexcept override;
        HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                         DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                         EXCEPINFO* pExcepInfo, UINT* puArgErr) noexcept override;

        HRESULT STDMETHODCALLTYPE Encrypt(BSTR strInput, BSTR* pOut) noexcept override;
        HRESULT STDMETHODCALLTYPE Decrypt(BSTR strInput, BSTR* pOut) noexcept override;
        HRESULT STDMETHODCALLTYPE SetKey(BSTR strKey) noexcept override;
        HRESULT STDMETHODCALLTYPE GetVersionString(BSTR* pVersionString) noexcept override;
        HRESULT STDMETHODCALLTYPE EncryptEx(VARIANT vInput, VARIANT* vOut) noexcept override;
        HRESULT STDMETHODCALLTYPE DecryptEx(VARIANT vInput, VARIANT* vOut) noexcept override;
        HRESULT STDMETHODCALLTYPE HtmlEncrypt(BSTR strInput, BSTR* pOut) noexcept override;
        HRESULT STDMETHODCALLTYPE MultilineEncrypt(BSTR strInput, BSTR* pOut) noexcept override;

        HRESULT STDMETHODCALLTYPE get_TextEncoding(BSTR* Encoding) noexcept override;
        HRESULT STDMETHODCALLTYPE put_TextEncoding(BSTR Encoding) noexcept override;
        HRESULT STDMETHODCALLTYPE get_Strict(VARIANT_BOOL* Value) noexcept override;
        HRESULT STDMETHODCALLTYPE put_Strict(VARIANT_BOOL Value) noexcept override;
        HRESULT STDMETHODCALLTYPE EncryptBytes(VARIANT Data, VARIANT* Result) noexcept override;
        HRESULT STDMETHODCALLTYPE DecryptBytes(VARIANT Data, VARIANT* Result) noexcept override;
        HRESULT STDMETHODCALLTYPE EncryptFile(BSTR Source, BSTR Destination) noexcept override;
        HRESULT STDMETHODCALLTYPE DecryptFile(BSTR Source, BSTR Destination) noexcept override;
        HRESULT STDMETHODCALLTYPE IsEncrypted(BSTR Text, VARIANT_BOOL* Result) noexcept override;
        HRESULT STDMETHODCALLTYPE get_CipherPath(BSTR* Path) noexcept override;
        HRESULT STDMETHODCALLTYPE get_Format(BSTR* Value) noexcept override;
        HRESULT STDMETHODCALLTYPE put_Format(BSTR Value) noexcept override;
    };

    class ErrorInfoSupport final : public Embedded<ISupportErrorInfo> {
    public:
        using Embedded::Embedded;

        HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) noexcept override;
    };

    // The aggregation shell embeds an object that delegates to its outer unknown.
    friend class CrypterAggregate;

    explicit Crypter(IUnknown* outer = nullptr) noexcept;
    ~Crypter();

    static Crypter& impl_from_ICrypter2(ICrypter2* iface) noexcept;
    static Crypter& impl_from_ISupportErrorInfo(ISupportErrorInfo* iface) noexcept;

    IUnknown* const outer_;  // not counted: the outer object owns the aggregate
    Dual dual_{*this};
    ErrorInfoSupport errorInfoSupport_{*this};
    // Apartment-threaded: only the creating apartment's thread calls, so a plain count.
    ULONG references_ = 1;
    enum class TextEncoding { Ansi, Utf8 };
    enum class MessageFormat { Legacy, Sealed };

    // The narrow text of a string in the current encoding: in ANSI as
    // ICrypter always did unless strict, exact otherwise.
    NarrowText Narrow(const wchar_t* wide) const noexcept;
    HRESULT LoadKey(const wchar_t* keyText) noexcept;

    // Sealed messages (crypter_sealed.cpp). The key text as they take it:
    // exact UTF-8, whole; empty without a key.
    HRESULT SealedKeyText(NarrowText& keyText) const noexcept;
    HRESULT SealString(BSTR input, BSTR* out, std::uint32_t options) noexcept;
    bool Opens(std::string_view marked, std::string_view keyText) noexcept;
    MessageKeys Keys(const NarrowText& keyText) noexcept;

    RijndaelKey key_;  // its buffers wipe the key bytes and schedule on release
    // The key text as given (UTF-16), kept while the key lives so that a new
    // TextEncoding derives the key again; wiped with it.
    Buffer keyText_;
    TextEncoding encoding_ = TextEncoding::Ansi;
    MessageFormat format_ = MessageFormat::Legacy;
    bool strict_ = false;
};

}  // namespace zarnocrypt
