// Whole-file input and standard output for the tool, in binary mode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "buffer.h"

namespace zarnocrypt::cli {

struct InputBytes {
    Buffer bytes;      // size() bytes, followed inside the allocation by one zero byte
    std::string name;  // the path, or "standard input", for messages
};

struct ReadResult {
    std::optional<InputBytes> input;
    std::string error;  // when input is absent
};

// Reads all of path (standard input when absent or "-"); more than limit
// bytes is refused, if possible before reading. The trailing zero byte lets
// text callers treat the bytes as a narrow string.
ReadResult ReadInput(const std::optional<std::string>& path, std::size_t limit, const char* what);

// "NAME is too large: WHAT takes at most LIMIT bytes".
std::string TooLargeMessage(const std::string& name, const char* what, std::size_t limit);

// Writes all bytes and flushes; an empty result on success, else the message.
std::string WriteStandardOutput(const std::uint8_t* data, std::size_t size);

// No newline translation on standard input and output (a no-op on POSIX).
void SetBinaryStdio() noexcept;

}  // namespace zarnocrypt::cli
