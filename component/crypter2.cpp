// ICrypter2's own members: what scripts of today need beside ICrypter.
#include <cstring>

#include "cipher_path.h"
#include "crypt_file.h"
#include "crypter_errors.h"
#include "crypter_object.h"
#include "sealed_text.h"
#include "text_forms.h"

namespace zarnocrypt {

HRESULT Crypter::CryptData(CryptDirection direction, const VARIANT& data, VARIANT* result) noexcept
{
    if (result == nullptr)
        return E_POINTER;
    NarrowText keyText;
    if (const HRESULT failure = SealedKeyText(keyText); FAILED(failure))
        return failure;
    return CryptBytesVariant(Keys(keyText), direction, data, result);
}

HRESULT Crypter::CryptFileAt(CryptDirection direction, BSTR source, BSTR destination) noexcept
{
    NarrowText keyText;
    if (const HRESULT failure = SealedKeyText(keyText); FAILED(failure))
        return failure;
    return CryptFile(Keys(keyText), direction, source, destination);
}

// Needs no key: the markers, the type letter and a well-formed envelope or
// sealed header.
HRESULT Crypter::IsEncrypted(BSTR text, VARIANT_BOOL* result) noexcept
{
    if (result == nullptr)
        return E_POINTER;
    *result = VARIANT_FALSE;
    // Marked texts are ASCII, so UTF-8 keeps them whatever else the string holds.
    const NarrowText narrow = NarrowFromWide(text, CP_UTF8);
    if (FAILED(narrow.status))
        return narrow.status;
    const std::string_view trimmed =
        TrimWhiteSpace({reinterpret_cast<const char*>(narrow.text.data()), narrow.text.size()});
    TextType type = TextType::Ansi;
    EnvelopeHeader header;
    Status status = ReadMarkedText(trimmed, type, header);
    if (status != Status::Ok && status != Status::NoMemory) {
        SealedHeader sealed;
        std::uint64_t chunks = 0;
        status = ReadSealedText(trimmed, sealed, chunks);
    }
    if (status == Status::NoMemory)
        return E_OUTOFMEMORY;
    *result = status == Status::Ok ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT Crypter::GetCipherPath(BSTR* path) noexcept
{
    if (path == nullptr)
        return E_POINTER;
    *path = nullptr;
    return WideFromNarrow(ChosenImplementation().name, std::strlen(ChosenImplementation().name), path);
}

// The interface passes each call to the object, as ICrypter's methods do.
HRESULT Crypter::Dual::get_TextEncoding(BSTR* Encoding) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).GetTextEncoding(Encoding));
}

HRESULT Crypter::Dual::put_TextEncoding(BSTR Encoding) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).PutTextEncoding(Encoding));
}

HRESULT Crypter::Dual::get_Strict(VARIANT_BOOL* Value) noexcept
{
    if (Value == nullptr)
        return WithoutStaleError(E_POINTER);
    *Value = impl_from_ICrypter2(this).strict_ ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT Crypter::Dual::put_Strict(VARIANT_BOOL Value) noexcept
{
    impl_from_ICrypter2(this).strict_ = Value != VARIANT_FALSE;
    return S_OK;
}

HRESULT Crypter::Dual::EncryptBytes(VARIANT Data, VARIANT* Result) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).CryptData(CryptDirection::Encrypt, Data, Result));
}

HRESULT Crypter::Dual::DecryptBytes(VARIANT Data, VARIANT* Result) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).CryptData(CryptDirection::Decrypt, Data, Result));
}

HRESULT Crypter::Dual::EncryptFile(BSTR Source, BSTR Destination) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).CryptFileAt(CryptDirection::Encrypt, Source, Destination));
}

HRESULT Crypter::Dual::DecryptFile(BSTR Source, BSTR Destination) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).CryptFileAt(CryptDirection::Decrypt, Source, Destination));
}

HRESULT Crypter::Dual::IsEncrypted(BSTR Text, VARIANT_BOOL* Result) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).IsEncrypted(Text, Result));
}

HRESULT Crypter::Dual::get_CipherPath(BSTR* Path) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).GetCipherPath(Path));
}

}  // namespace zarnocrypt
