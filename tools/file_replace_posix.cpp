#include "file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zarnocrypt::cli {
namespace {

std::string Failure(const std::string& path, const char* doing, int error)
{
    return std::string("cannot ") + doing + " " + path + ": " + std::strerror(error);
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

std::string Directory(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::string WriteDirectly(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
    if (fd < 0)
        return Failure(path, "open", errno);
    const bool written = WriteAll(fd, data, size);
    const int error = errno;
    ::close(fd);
    return written ? std::string() : Failure(path, "write", error);
}

// A crash after the rename must not lose the new name: flush the directory too.
// Best effort, since not every file system allows it.
void SyncDirectory(const std::string& directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::string WriteAndRename(const std::string& target, mode_t mode, const std::uint8_t* data, std::size_t size)
{
    std::string pattern = target + ".zarnocrypt-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return Failure(target, "create a temporary file for", errno);
    const std::string temporary(name.data());

    const char* doing = nullptr;
    int error = 0;
    const auto fail = [&](const char* what) {
        if (!doing) {
            doing = what;
            error = errno;
        }
    };
    if (::fchmod(fd, mode) != 0)
        fail("set the permissions of");
    else if (!WriteAll(fd, data, size))
        fail("write");
    else if (::fsync(fd) != 0)
        fail("flush");
    if (::close(fd) != 0)
        fail("write");
    if (!doing && ::rename(temporary.c_str(), target.c_str()) != 0)
        fail("replace");
    if (doing) {
        ::unlink(temporary.c_str());
        return Failure(target, doing, error);
    }
    SyncDirectory(Directory(target));
    return {};
}

}  // namespace

std::string ReplaceFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno != ENOENT)
            return Failure(path, "write", errno);
        return WriteAndRename(path, NewFileMode(), data, size);
    }
    if (S_ISDIR(status.st_mode))
        return Failure(path, "write", EISDIR);
    if (!S_ISREG(status.st_mode))
        return WriteDirectly(path, data, size);

    // Replace the file a symbolic link points to, not the link itself.
    char* resolved = ::realpath(path.c_str(), nullptr);
    const std::string target = resolved ? std::string(resolved) : path;
    std::free(resolved);
    return WriteAndRename(target, status.st_mode & 07777, data, size);
}

}  // namespace zarnocrypt::cli
