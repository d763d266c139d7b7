#include "byte_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "status.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace zarnocrypt::cli {
namespace {

constexpr std::size_t FIRST_CHUNK = 64 * 1024;

bool IsStandardStream(const std::optional<std::string>& path) { return !path || *path == "-"; }

std::string ErrnoText(int error) { return error ? std::strerror(error) : "unknown error"; }

// Capacity for at least `needed` bytes plus the trailing zero, keeping the
// first `used` bytes; the old allocation is wiped as it is released.
Status Reserve(Buffer& buffer, std::size_t used, std::size_t needed)
{
    if (buffer && buffer.size() > needed)
        return Status::Ok;
    if (needed == SIZE_MAX)
        return Status::TooLarge;  // no room for the trailing zero
    std::size_t capacity = buffer ? buffer.size() : std::max(FIRST_CHUNK, needed + 1);
    while (capacity <= needed)
        capacity = capacity > SIZE_MAX / 2 ? needed + 1 : capacity * 2;
    Buffer larger = Buffer::Allocate(capacity);
    if (!larger)
        return Status::NoMemory;
    if (used)
        std::memcpy(larger.data(), buffer.data(), used);
    buffer = std::move(larger);
    return Status::Ok;
}

// Reads until end of file, at most limit + 1 bytes so that "too large" is known.
ReadResult ReadStream(std::FILE* stream, std::size_t expected, std::size_t limit, InputBytes input,
                      const char* what)
{
    std::size_t used = 0;
    for (;;) {
        // One byte beyond the expected size tells end of file from growth.
        const std::size_t wanted = used <= expected ? expected + 1 : used + FIRST_CHUNK;
        const Status reserved = Reserve(input.bytes, used, std::min(wanted, limit + 1));
        if (reserved == Status::TooLarge)
            return {std::nullopt, TooLargeMessage(input.name, what, limit)};
        if (reserved != Status::Ok)
            return {std::nullopt, "out of memory reading " + input.name};
        const std::size_t room = input.bytes.size() - 1 - used;
        const std::size_t got = std::fread(input.bytes.data() + used, 1, room, stream);
        used += got;
        if (used > limit)
            return {std::nullopt, TooLargeMessage(input.name, what, limit)};
        if (got < room) {
            if (std::ferror(stream))
                return {std::nullopt, "cannot read " + input.name + ": " + ErrnoText(errno)};
            break;
        }
    }
    input.bytes.Shrink(used);
    return {std::move(input), {}};
}

}  // namespace

std::string TooLargeMessage(const std::string& name, const char* what, std::size_t limit)
{
    return name + " is too large: " + what + " takes at most " + std::to_string(limit) + " bytes";
}

ReadResult ReadInput(const std::optional<std::string>& path, std::size_t limit, const char* what)
{
    // The buffer holds one byte beyond the limit, which tells end of file
    // from growth, and the trailing zero: on 32-bit hosts that caps the limit.
    limit = std::min(limit, SIZE_MAX - 2);
    if (IsStandardStream(path))
        return ReadStream(stdin, 0, limit, InputBytes{{}, "standard input"}, what);

    // A regular file's size is known up front: refuse it before reading
    // gigabytes, and read it with one allocation.
    std::error_code ec;
    std::size_t expected = 0;
    if (std::filesystem::is_regular_file(*path, ec)) {
        const std::uintmax_t size = std::filesystem::file_size(*path, ec);
        if (!ec && size > limit)
            return {std::nullopt, TooLargeMessage(*path, what, limit)};
        if (!ec)
            expected = static_cast<std::size_t>(size);
    }
    std::FILE* file = std::fopen(path->c_str(), "rb");
    if (!file)
        return {std::nullopt, "cannot open " + *path + ": " + ErrnoText(errno)};
    ReadResult result = ReadStream(file, expected, limit, InputBytes{{}, *path}, what);
    std::fclose(file);
    return result;
}

std::string WriteStandardOutput(const std::uint8_t* data, std::size_t size)
{
    if ((size && std::fwrite(data, 1, size, stdout) != size) || std::fflush(stdout) != 0)
        return "cannot write to standard output: " + ErrnoText(errno);
    return {};
}

void SetBinaryStdio() noexcept
{
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

}  // namespace zarnocrypt::cli
