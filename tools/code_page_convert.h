// Exact conversion between UTF-8 and a Windows code page, for texts of type
// "X" that are exchanged with machines whose ANSI code page is not UTF-8.
// One file per platform: iconv on POSIX, the Windows conversion functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "buffer.h"

namespace zarnocrypt::cli {

enum class Conversion { ToCodePage, FromCodePage };

// Converts size bytes of UTF-8 into code page codePage, or back. Nothing is
// approximated: a character without an exact equivalent, or input that is
// not valid in its encoding, fails. On success out holds the result followed,
// inside the allocation, by one zero byte. Empty result on success, else the
// message, which says where in the input the problem is.
std::string ConvertText(Conversion direction, unsigned codePage, const std::uint8_t* text, std::size_t size,
                        Buffer& out);

}  // namespace zarnocrypt::cli
