// Writing a whole output file so that it is either complete or untouched.
// The only platform-specific file operations of the tool live behind this
// interface (file_replace_posix.cpp; a Windows variant goes beside it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zarnocrypt::cli {

// Regular files (new or existing) are written to a temporary file in the same
// directory, flushed to disk and renamed over path, so that a failure leaves
// neither a partial file nor a changed one; the temporary is removed on
// failure. An existing file keeps its permissions, and a symbolic link stays
// a link to the replaced file. Devices and pipes (e.g. /dev/stdout) are
// written directly. Empty result on success, else the message.
std::string ReplaceFile(const std::string& path, const std::uint8_t* data, std::size_t size);

}  // namespace zarnocrypt::cli
