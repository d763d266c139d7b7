// Conversions between automation strings (UTF-16) and narrow text in an
// ANSI code page, at the boundary of the Crypter object only.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstddef>

#include "buffer.h"

namespace zarnocrypt {

struct NarrowText {
    HRESULT status;  // S_OK, E_OUTOFMEMORY, or E_CRYPTER_UNREPRESENTABLE when exact
    Buffer text;     // size() bytes, then a NUL; empty for a null string
};

// The string up to its first zero character. Not exact, converted without
// flags: characters the code page lacks become its default character or a
// look-alike. Exact, such a character (or, for UTF-8, a lone surrogate) is
// a failure. The buffer is sized from what the conversion needs, so
// multi-byte code pages such as UTF-8 are never cut short.
NarrowText NarrowFromWide(const wchar_t* wide, UINT codePage = CP_ACP, bool exact = false) noexcept;

// The length characters of wide, zero characters included; exact UTF-8, the
// bytes of a sealed text.
NarrowText Utf8FromWide(const wchar_t* wide, std::size_t length) noexcept;

// A new automation string of the narrow bytes up to their first zero byte
// (at most size bytes); *out stays null on failure.
HRESULT WideFromNarrow(const char* narrow, std::size_t size, BSTR* out,
                       UINT codePage = CP_ACP) noexcept;

// Whether name (null: no) is expected, which is in upper case, in any case
// of ASCII letters: no locale can fold it otherwise.
bool EqualsIgnoringCase(const wchar_t* name, const wchar_t* expected) noexcept;

// A new automation string of all size bytes of well-formed UTF-8, zero bytes included.
HRESULT WideFromUtf8(const char* utf8, std::size_t size, BSTR* out) noexcept;

}  // namespace zarnocrypt
