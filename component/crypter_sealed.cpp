// Format, and the sealed text form of the string methods. In "Sealed" new
// messages are authenticated and keyed by the key text's UTF-8 bytes, whole;
// readers then take both formats. "Legacy", the default, changes nothing.
#include <cwchar>

#include "crypter_errors.h"
#include "crypter_object.h"
#include "either_format.h"
#include "sealed_text.h"
#include "text_forms.h"

namespace zarnocrypt {
namespace {

std::string_view ViewOf(const NarrowText& narrow) noexcept
{
    return {reinterpret_cast<const char*>(narrow.text.data()), narrow.text.size()};
}

// A lone surrogate has no UTF-8 form: refused as in the exact text paths.
HRESULT Utf8Failure(HRESULT status) noexcept
{
    return status == E_CRYPTER_UNREPRESENTABLE ? ReportFailure(UNREPRESENTABLE) : status;
}

}  // namespace

// Converted for each call rather than kept: one copy of the key text lives
// in the object, and this one is wiped when the call ends.
HRESULT Crypter::SealedKeyText(NarrowText& keyText) const noexcept
{
    if (format_ != MessageFormat::Sealed || !keyText_)
        return S_OK;
    keyText = NarrowFromWide(reinterpret_cast<const wchar_t*>(keyText_.data()), CP_UTF8, true);
    return Utf8Failure(keyText.status);
}

MessageKeys Crypter::Keys(const NarrowText& keyText) noexcept
{
    const auto* bytes = keyText.text.data();
    return {key_, format_ == MessageFormat::Sealed, {bytes, bytes != nullptr ? keyText.text.size() : 0}};
}

// Tried on the object's key: its schedule is a cache, as Decrypt uses it.
bool Crypter::Opens(std::string_view marked, std::string_view keyText) noexcept
{
    Buffer plaintext;
    TextType type = TextType::Sealed;
    return DecryptAnyText(marked, key_, keyText, READ_ANSI | READ_UTF8 | READ_SEALED, plaintext, type) == Status::Ok;
}

// The string whole, zero characters included, as UTF-8; a text already
// marked (of any type) comes back unchanged, under Strict only when the key
// opens it.
HRESULT Crypter::SealString(BSTR input, BSTR* out, std::uint32_t options) noexcept
{
    const UINT length = SysStringLen(input);
    const NarrowText text = Utf8FromWide(input, length);
    if (FAILED(text.status))
        return Utf8Failure(text.status);
    NarrowText keyText;
    if (const HRESULT failure = SealedKeyText(keyText); FAILED(failure))
        return failure;
    if (IsMarkedUtf8(ViewOf(text)) && (!strict_ || Opens(ViewOf(text), ViewOf(keyText)))) {
        *out = SysAllocStringLen(input, length);
        return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    Buffer marked;
    switch (SealText(ViewOf(keyText), ViewOf(text), options, marked)) {
    case Status::Ok:
        return WideFromNarrow(reinterpret_cast<const char*>(marked.data()), marked.size(), out);
    case Status::NoMemory:
        return E_OUTOFMEMORY;
    default:
        return ReportFailure(ENCRYPT_FAILED);
    }
}

HRESULT Crypter::GetFormat(BSTR* format) noexcept
{
    if (format == nullptr)
        return E_POINTER;
    *format = SysAllocString(format_ == MessageFormat::Sealed ? L"Sealed" : L"Legacy");
    return *format != nullptr ? S_OK : E_OUTOFMEMORY;
}

// Named in any case, as TextEncoding is.
HRESULT Crypter::PutFormat(BSTR format) noexcept
{
    const bool sealed = EqualsIgnoringCase(format, L"SEALED");
    if (!sealed && !EqualsIgnoringCase(format, L"LEGACY"))
        return ReportFailure(FORMAT);
    format_ = sealed ? MessageFormat::Sealed : MessageFormat::Legacy;
    return S_OK;
}

HRESULT Crypter::Dual::get_Format(BSTR* Value) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).GetFormat(Value));
}

HRESULT Crypter::Dual::put_Format(BSTR Value) noexcept
{
    return WithoutStaleError(impl_from_ICrypter2(this).PutFormat(Value));
}

}  // namespace zarnocrypt
