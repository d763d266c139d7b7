#include <windows.h>

#include <climits>

#include "code_page_convert.h"
#include "secure_wipe.h"

namespace zarnocrypt::cli {
namespace {

constexpr UINT UTF8 = CP_UTF8;

// UTF-16 of text in codePage; false when a byte sequence is not valid there.
bool ToWide(UINT codePage, const std::uint8_t* text, int size, std::wstring& wide)
{
    const auto* bytes = reinterpret_cast<const char*>(text);
    const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes, size, nullptr, 0);
    wide.resize(static_cast<std::size_t>(length));
    return length > 0 &&
           MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes, size, wide.data(), length) == length;
}

// text in codePage; false for a character without an exact equivalent:
// best-fit mappings are off, and a default character used is a failure.
bool FromWide(UINT codePage, const std::wstring& wide, Buffer& out)
{
    // Code pages that allow neither flag nor default character check
    // invalid input only.
    const bool utf = codePage == UTF8;
    const DWORD flags = utf ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = utf ? nullptr : &usedDefault;
    const int wideSize = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(codePage, flags, wide.data(), wideSize, nullptr, 0, nullptr, used);
    Buffer result = Buffer::Allocate(static_cast<std::size_t>(length) + 1);
    if (length <= 0 || !result || usedDefault)
        return false;
    const int written = WideCharToMultiByte(codePage, flags, wide.data(), wideSize,
                                            reinterpret_cast<char*>(result.data()), length, nullptr, used);
    if (written != length || usedDefault)
        return false;
    result.Shrink(static_cast<std::size_t>(length));
    out = std::move(result);
    return true;
}

}  // namespace

std::string ConvertText(Conversion direction, unsigned codePage, const std::uint8_t* text, std::size_t size,
                        Buffer& out)
{
    const std::string page = std::to_string(codePage);
    if (!IsValidCodePage(codePage))
        return "code page " + page + " is not supported on this system";
    if (size > INT_MAX)
        return "the text is too large to convert";
    if (size == 0) {
        out = Buffer::Allocate(1);
        return out ? std::string() : "out of memory";
    }
    const bool to = direction == Conversion::ToCodePage;
    std::wstring wide;
    if (!ToWide(to ? UTF8 : codePage, text, static_cast<int>(size), wide))
        return to ? "the text is not valid UTF-8" : "the text is not valid in code page " + page;
    const bool converted = FromWide(to ? codePage : UTF8, wide, out);
    SecureWipe(wide.data(), wide.size() * sizeof(wchar_t));  // it held the plaintext
    if (!converted)
        return to ? "a character has no exact equivalent in code page " + page
                  : "the text of code page " + page + " has no UTF-8 form";
    return {};
}

}  // namespace zarnocrypt::cli
