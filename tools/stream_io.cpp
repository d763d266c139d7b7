#include "stream_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zarnocrypt::cli {
namespace {

// Pipes of up to this much are held in memory: no temporary file, no
// plaintext on disk for the small secrets that scripts pipe in.
constexpr std::size_t HELD_INPUT = 1 << 20;
// Read and write count in int on Windows.
constexpr std::size_t LARGEST_TRANSFER = 1 << 30;
constexpr char STANDARD_INPUT[] = "standard input";

bool IsStandardStream(const std::optional<std::string>& path) { return !path || *path == "-"; }

// A message for the caller's error slot; without memory for it, that instead.
void Describe(std::string& error, const char* doing, const std::string& name, int code) noexcept
{
    try {
        error = std::string(doing) + name + ": " + (code ? std::strerror(code) : "unknown error");
    } catch (...) {
        error = "out of memory";  // short enough to need no allocation
    }
}

#ifdef _WIN32
int OpenForReading(const char* path) { return _open(path, _O_RDONLY | _O_BINARY); }
void Close(int fd) { _close(fd); }
bool Rewind(int fd) { return _lseeki64(fd, 0, SEEK_SET) == 0; }

long long ReadSome(int fd, void* into, std::size_t want)
{
    return _read(fd, into, static_cast<unsigned>(std::min(want, LARGEST_TRANSFER)));
}

long long WriteSome(int fd, const void* data, std::size_t size)
{
    return _write(fd, data, static_cast<unsigned>(std::min(size, LARGEST_TRANSFER)));
}

std::optional<std::uint64_t> RemainingSize(int fd)
{
    struct _stati64 status {};
    if (_fstati64(fd, &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG)
        return std::nullopt;
    const __int64 at = _lseeki64(fd, 0, SEEK_CUR);
    if (at < 0 || at > status.st_size)
        return std::nullopt;
    return static_cast<std::uint64_t>(status.st_size - at);
}

// Deleted by the system when closed, however the process ends.
int OpenTemporary()
{
    wchar_t directory[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    if (!GetTempPathW(MAX_PATH + 1, directory) || !GetTempFileNameW(directory, L"zqv", 0, name))
        return -1;
    const HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileW(name);
        errno = EACCES;
        return -1;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), 0);
    if (fd < 0)
        CloseHandle(file);
    return fd;
}
#else
int OpenForReading(const char* path) { return open(path, O_RDONLY | O_CLOEXEC); }
void Close(int fd) { close(fd); }
bool Rewind(int fd) { return lseek(fd, 0, SEEK_SET) == 0; }

long long ReadSome(int fd, void* into, std::size_t want)
{
    ssize_t got = 0;
    do
        got = read(fd, into, std::min(want, LARGEST_TRANSFER));
    while (got < 0 && errno == EINTR);
    return got;
}

long long WriteSome(int fd, const void* data, std::size_t size)
{
    ssize_t written = 0;
    do
        written = write(fd, data, std::min(size, LARGEST_TRANSFER));
    while (written < 0 && errno == EINTR);
    return written;
}

std::optional<std::uint64_t> RemainingSize(int fd)
{
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    const off_t at = lseek(fd, 0, SEEK_CUR);
    if (at < 0 || at > status.st_size)
        return std::nullopt;
    return static_cast<std::uint64_t>(status.st_size - at);
}

// Without a name from the start where the system allows it, else unlinked
// at once: it vanishes however the process ends.
int OpenTemporary()
{
    const char* variable = std::getenv("TMPDIR");
    const std::string directory = variable && *variable ? variable : "/tmp";
#ifdef O_TMPFILE
    if (const int fd = open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600); fd >= 0)
        return fd;
#endif
    std::string name = directory + "/zarnocrypt-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd >= 0)
        unlink(name.c_str());
    return fd;
}
#endif

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) noexcept
{
    while (size > 0) {
        const long long written = WriteSome(fd, data, size);
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

InputStream::~InputStream()
{
    if (owned_)
        Close(fd_);
}

std::string InputStream::Open(const std::optional<std::string>& path)
{
    if (IsStandardStream(path)) {
        fd_ = 0;
        name_ = STANDARD_INPUT;
    } else {
        fd_ = OpenForReading(path->c_str());
        if (fd_ < 0) {
            Describe(error_, "cannot open ", *path, errno);
            return error_;
        }
        owned_ = true;
        name_ = *path;
    }
    size_ = RemainingSize(fd_);
    return {};
}

// Once at the end, never read again: a terminal would wait for another end.
Status InputStream::ReadFile(std::uint8_t* into, std::size_t want, std::size_t& got) noexcept
{
    got = 0;
    if (ended_)
        return Status::Ok;
    const long long read = ReadSome(fd_, into, want);
    if (read < 0) {
        Describe(error_, "cannot read ", name_, errno);
        return Status::Io;
    }
    got = static_cast<std::size_t>(read);
    ended_ = got == 0;
    progress_.Advance(got);
    return Status::Ok;
}

Status InputStream::Read(std::uint8_t* into, std::size_t want, std::size_t& got) noexcept
{
    if (heldAt_ < held_.size()) {
        got = std::min(want, held_.size() - heldAt_);
        std::memcpy(into, held_.data() + heldAt_, got);
        heldAt_ += got;
        return Status::Ok;
    }
    return ReadFile(into, want, got);
}

Status InputStream::Peek(std::size_t count)
{
    held_ = Buffer::AllocateForOverwrite(count);
    if (!held_)
        return Status::NoMemory;
    std::size_t used = 0;
    for (std::size_t got = 1; got > 0 && used < count; used += got) {
        if (const Status status = ReadFile(held_.data() + used, count - used, got); status != Status::Ok)
            return status;
    }
    held_.Shrink(used);
    return Status::Ok;
}

Status InputStream::Spool(std::uint64_t limit)
{
    if (const Status status = Peek(HELD_INPUT); status != Status::Ok)
        return status;
    if (held_.size() == HELD_INPUT)
        return CopyToTemporary(limit);
    size_ = held_.size();
    return *size_ > limit ? Status::TooLarge : Status::Ok;
}

// The held bytes and the rest of the input into the temporary file, which
// then takes the input's place; the held buffer carries the copy.
Status InputStream::CopyToTemporary(std::uint64_t limit)
{
    const int temporary = OpenTemporary();
    if (temporary < 0) {
        Describe(error_, "cannot make a temporary copy of ", name_, errno);
        return Status::Io;
    }
    std::uint64_t copied = 0;
    std::size_t got = held_.size();
    Status status = Status::Ok;
    while (status == Status::Ok && got > 0) {
        if (copied + got > limit) {
            status = Status::TooLarge;
        } else if (!WriteAll(temporary, held_.data(), got)) {
            Describe(error_, "cannot make a temporary copy of ", name_, errno);
            status = Status::Io;
        } else {
            copied += got;
            status = ReadFile(held_.data(), held_.size(), got);
        }
    }
    if (owned_)
        Close(fd_);
    fd_ = temporary;
    owned_ = true;
    ended_ = false;
    held_ = Buffer();
    size_ = copied;
    if (status == Status::Ok && !Rewind(fd_)) {
        Describe(error_, "cannot read the temporary copy of ", name_, errno);
        status = Status::Io;
    }
    return status;
}

std::string OutputStream::Open(const std::optional<std::string>& path, std::size_t holdBack)
{
    if (IsStandardStream(path)) {
        if (holdBack > 0)
            held_ = Buffer::AllocateForOverwrite(holdBack);
        return held_ || holdBack == 0 ? std::string() : "out of memory";
    }
    file_.emplace();
    return file_->Open(*path);
}

Status OutputStream::WriteThrough(const std::uint8_t* data, std::size_t size) noexcept
{
    try {
        if (file_)
            error_ = file_->Write(data, size);
        else if (!WriteAll(1, data, size))
            Describe(error_, "cannot write to ", "standard output", errno);
        else
            wroteToStandardOutput_ |= size > 0;
    } catch (...) {
        error_ = "out of memory";
    }
    return error_.empty() ? Status::Ok : Status::Io;
}

Status OutputStream::Write(const std::uint8_t* data, std::size_t size) noexcept
{
    if (heldSize_ > 0) {
        const std::size_t held = std::exchange(heldSize_, 0);
        if (const Status status = WriteThrough(held_.data(), held); status != Status::Ok)
            return status;
    }
    if (!held_ || size > held_.size())
        return WriteThrough(data, size);
    std::memcpy(held_.data(), data, size);
    heldSize_ = size;
    return Status::Ok;
}

std::string OutputStream::Finish()
{
    if (heldSize_ > 0 && WriteThrough(held_.data(), std::exchange(heldSize_, 0)) != Status::Ok)
        return error_;
    return file_ ? file_->Commit() : std::string();
}

}  // namespace zarnocrypt::cli
