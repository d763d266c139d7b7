// The string methods and the key text. In ANSI, the default, text goes
// through the system's ANSI code page exactly as ICrypter always did; in
// UTF-8 it is exact and marked with type "U". Strict turns every silent
// answer (an unmarked text passed through, a character changed) into a failure.
#include <cwchar>
#include <string_view>

#include "ansi_code_page.h"
#include "crypter_errors.h"
#include "crypter_object.h"
#include "either_format.h"
#include "key_text.h"
#include "text_forms.h"
#include "utf8.h"

namespace zarnocrypt {
namespace {

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

// A conversion failure: the exact ones publish their message.
HRESULT ConversionFailure(HRESULT status) noexcept
{
    return status == E_CRYPTER_UNREPRESENTABLE ? ReportFailure(UNREPRESENTABLE) : status;
}

// The decrypted bytes up to their first zero as a string: type "X" in the
// ANSI code page as always, type "U" only when it is well-formed UTF-8.
// Type "G" holds the string's UTF-8 bytes whole, zero bytes included.
HRESULT WideFromPlaintext(const Buffer& plaintext, TextType type, BSTR* out) noexcept
{
    const char* bytes = reinterpret_cast<const char*>(plaintext.data());
    if (type == TextType::Ansi)
        return WideFromNarrow(bytes, plaintext.size(), out);
    const bool whole = type == TextType::Sealed;
    const std::size_t size = whole ? plaintext.size() : TextLength(plaintext);
    if (!IsValidUtf8(plaintext.data(), size))
        return ReportFailure(INVALID_UTF8);
    return whole ? WideFromUtf8(bytes, size, out) : WideFromNarrow(bytes, size, out, CP_UTF8);
}

// "ANSI" or "UTF-8" in any case.
bool ParseEncodingName(const wchar_t* name, bool& utf8) noexcept
{
    utf8 = EqualsIgnoringCase(name, L"UTF-8");
    return utf8 || EqualsIgnoringCase(name, L"ANSI");
}

}  // namespace

NarrowText Crypter::Narrow(const wchar_t* wide) const noexcept
{
    if (encoding_ == TextEncoding::Utf8)
        return NarrowFromWide(wide, CP_UTF8, true);
    return NarrowFromWide(wide, CP_ACP, strict_);
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
    if (format_ == MessageFormat::Sealed)
        return SealString(strInput, pOut, options);

    const NarrowText narrow = Narrow(strInput);
    if (FAILED(narrow.status))
        return ConversionFailure(narrow.status);
    // UTF-8 has no double-byte characters: its bytes of 0x80 and up never
    // look like a marker, so the single-byte rule finds markers exactly.
    const bool utf8 = encoding_ == TextEncoding::Utf8;
    const CodePage& codePage = utf8 ? SingleByteCodePage() : AnsiCodePage();
    Buffer marked;
    switch (EncryptText(TextOf(narrow), key_, options, codePage, marked, utf8 ? TextType::Utf8 : TextType::Ansi,
                        strict_)) {
    case Status::Ok:
        return WideFromNarrow(reinterpret_cast<const char*>(marked.data()), marked.size(), pOut);
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

    // A marked text is ASCII, so any exact conversion finds it; the others
    // come back as the caller's own string.
    const NarrowText narrow = encoding_ == TextEncoding::Utf8 ? NarrowFromWide(strInput, CP_UTF8) : NarrowFromWide(strInput);
    if (FAILED(narrow.status))
        return narrow.status;
    std::string_view text(TextOf(narrow), narrow.text.size());
    if (strict_)
        text = TrimWhiteSpace(text);
    NarrowText keyText;
    if (const HRESULT failure = SealedKeyText(keyText); FAILED(failure))
        return failure;
    unsigned readable = encoding_ == TextEncoding::Utf8 ? READ_ANSI | READ_UTF8 : READ_ANSI;
    if (format_ == MessageFormat::Sealed)
        readable |= READ_SEALED;
    const std::string_view keyBytes(TextOf(keyText), keyText.text.size());
    TextType type = TextType::Ansi;
    Buffer plaintext;
    switch (DecryptAnyText(text, key_, keyBytes, readable, plaintext, type)) {
    case Status::Ok:
        return WideFromPlaintext(plaintext, type, pOut);
    case Status::NotMarked:
        if (strict_)
            return ReportFailure(NOT_ENCRYPTED);
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

// The key from a key text in the current encoding. Never fails but for
// memory, or, when exact, a character without an equivalent; the key is
// then left as it was, or empty rather than half set.
HRESULT Crypter::LoadKey(const wchar_t* keyText) noexcept
{
    const NarrowText narrow = Narrow(keyText);
    if (FAILED(narrow.status))
        return ConversionFailure(narrow.status);
    if (LoadKeyText(key_, TextOf(narrow), narrow.text.size()) == Status::NoMemory)
        return E_OUTOFMEMORY;
    return S_OK;
}

HRESULT Crypter::SetKey(BSTR strKey) noexcept
{
    const std::size_t length = strKey != nullptr ? std::wcslen(strKey) : 0;
    Buffer keyText = Buffer::Allocate((length + 1) * sizeof(wchar_t));
    if (!keyText) {
        key_.SetKeyBytes(nullptr, 0);
        keyText_.Reset();
        return E_OUTOFMEMORY;
    }
    if (length > 0)
        std::wmemcpy(reinterpret_cast<wchar_t*>(keyText.data()), strKey, length);
    const HRESULT result = LoadKey(reinterpret_cast<const wchar_t*>(keyText.data()));
    if (result == E_CRYPTER_UNREPRESENTABLE)
        return result;  // the key stays as it was
    keyText_ = key_.HasKeyBytes() ? std::move(keyText) : Buffer();
    return result;
}

HRESULT Crypter::GetTextEncoding(BSTR* encoding) noexcept
{
    if (encoding == nullptr)
        return E_POINTER;
    *encoding = SysAllocString(encoding_ == TextEncoding::Utf8 ? L"UTF-8" : L"ANSI");
    return *encoding != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The key text of an earlier SetKey is read again in the new encoding, so
// the order of the two calls does not matter.
HRESULT Crypter::PutTextEncoding(BSTR encoding) noexcept
{
    bool utf8 = false;
    if (!ParseEncodingName(encoding, utf8))
        return ReportFailure(TEXT_ENCODING);
    const TextEncoding previous = encoding_;
    encoding_ = utf8 ? TextEncoding::Utf8 : TextEncoding::Ansi;
    if (encoding_ == previous || !keyText_)
        return S_OK;
    const HRESULT result = LoadKey(reinterpret_cast<const wchar_t*>(keyText_.data()));
    if (result == E_CRYPTER_UNREPRESENTABLE)
        encoding_ = previous;  // neither the encoding nor the key changed
    else if (!key_.HasKeyBytes())
        keyText_.Reset();
    return result;
}

}  // namespace zarnocrypt
