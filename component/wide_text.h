// Conversions between automation strings (UTF-16) and narrow text in an
// ANSI code page, at the boundary of the Crypter object only.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstddef>

#include "buffer.h"

namespace zarnocrypt {

struct NarrowText {
    HRESULT status;  // S_OK, or E_OUTOFMEMORY
    Buffer text;     // size() bytes, then a NUL; empty for a null string
};

// The string up to its first zero character, converted without flags:
// characters the code page lacks become its default character. The buffer
// is sized from what the conversion needs, so multi-byte code pages such as
// UTF-8 (three bytes for many characters) are never cut short.
NarrowText NarrowFromWide(const wchar_t* wide, UINT codePage = CP_ACP) noexcept;

// A new automation string of the narrow bytes up to their first zero byte
// (at most size bytes); *out stays null on failure.
HRESULT WideFromNarrow(const char* narrow, std::size_t size, BSTR* out,
                       UINT codePage = CP_ACP) noexcept;

}  // namespace zarnocrypt
