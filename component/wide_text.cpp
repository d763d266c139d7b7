#include "wide_text.h"

#include <climits>
#include <cstring>
#include <cwchar>

#include "crypter_errors.h"

namespace zarnocrypt {
namespace {

// The conversions only fail on arguments they were never given; should one
// fail all the same, its own reason is passed on, never S_OK.
HRESULT LastErrorResult() noexcept
{
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_UNEXPECTED;
}

// Every conversion of a string runs twice (once to size the result), with
// the same flags; only the second reports a default character.
struct Conversion {
    UINT codePage;
    bool exact;

    int Run(const wchar_t* wide, int length, char* narrow, int size, bool& inexact) const noexcept
    {
        inexact = false;
        if (!exact)
            return WideCharToMultiByte(codePage, 0, wide, length, narrow, size, nullptr, nullptr);
        if (codePage == CP_UTF8)
            return WideCharToMultiByte(codePage, WC_ERR_INVALID_CHARS, wide, length, narrow, size, nullptr, nullptr);
        BOOL usedDefault = FALSE;
        const int result =
            WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, length, narrow, size, nullptr, &usedDefault);
        inexact = usedDefault != FALSE;
        return result;
    }

    HRESULT Failure() const noexcept
    {
        return exact && GetLastError() == ERROR_NO_UNICODE_TRANSLATION ? E_CRYPTER_UNREPRESENTABLE
                                                                         : LastErrorResult();
    }
};

NarrowText ConvertToNarrow(const wchar_t* wide, std::size_t length, const Conversion& conversion) noexcept
{
    if (wide == nullptr)
        return {S_OK, Buffer()};
    if (length > INT_MAX)
        return {E_OUTOFMEMORY, Buffer()};
    const int wideLength = static_cast<int>(length);
    bool inexact = false;
    int needed = 0;
    if (wideLength > 0) {
        needed = conversion.Run(wide, wideLength, nullptr, 0, inexact);
        if (needed <= 0)
            return {conversion.Failure(), Buffer()};
    }
    // One more byte for the terminating NUL, which Allocate's zero fill provides.
    Buffer text = Buffer::Allocate(static_cast<std::size_t>(needed) + 1);
    if (!text)
        return {E_OUTOFMEMORY, Buffer()};
    if (needed > 0 &&
        conversion.Run(wide, wideLength, reinterpret_cast<char*>(text.data()), needed, inexact) != needed)
        return {conversion.Failure(), Buffer()};
    if (inexact)
        return {E_CRYPTER_UNREPRESENTABLE, Buffer()};
    text.Shrink(static_cast<std::size_t>(needed));
    return {S_OK, std::move(text)};
}

HRESULT ConvertToWide(const char* narrow, std::size_t size, BSTR* out, UINT codePage) noexcept
{
    *out = nullptr;
    if (size > INT_MAX)
        return E_OUTOFMEMORY;
    const int narrowLength = static_cast<int>(size);
    int needed = 0;
    if (narrowLength > 0) {
        needed = MultiByteToWideChar(codePage, 0, narrow, narrowLength, nullptr, 0);
        if (needed <= 0)
            return LastErrorResult();
    }
    BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(needed));
    if (wide == nullptr)
        return E_OUTOFMEMORY;
    if (needed > 0 && MultiByteToWideChar(codePage, 0, narrow, narrowLength, wide, needed) != needed) {
        const HRESULT failure = LastErrorResult();
        SysFreeString(wide);
        return failure;
    }
    *out = wide;
    return S_OK;
}

}  // namespace

NarrowText NarrowFromWide(const wchar_t* wide, UINT codePage, bool exact) noexcept
{
    return ConvertToNarrow(wide, wide != nullptr ? std::wcslen(wide) : 0, {codePage, exact});
}

NarrowText Utf8FromWide(const wchar_t* wide, std::size_t length) noexcept
{
    return ConvertToNarrow(wide, length, {CP_UTF8, true});
}

HRESULT WideFromNarrow(const char* narrow, std::size_t size, BSTR* out, UINT codePage) noexcept
{
    const void* zero = size > 0 ? std::memchr(narrow, 0, size) : nullptr;
    if (zero != nullptr)
        size = static_cast<std::size_t>(static_cast<const char*>(zero) - narrow);
    return ConvertToWide(narrow, size, out, codePage);
}

bool EqualsIgnoringCase(const wchar_t* name, const wchar_t* expected) noexcept
{
    if (name == nullptr)
        return false;
    std::size_t i = 0;
    for (; expected[i] != L'\0'; ++i) {
        const wchar_t c = name[i] >= L'a' && name[i] <= L'z' ? name[i] - (L'a' - L'A') : name[i];
        if (c != expected[i])
            return false;
    }
    return name[i] == L'\0';
}

HRESULT WideFromUtf8(const char* utf8, std::size_t size, BSTR* out) noexcept
{
    return ConvertToWide(utf8, size, out, CP_UTF8);
}

}  // namespace zarnocrypt
