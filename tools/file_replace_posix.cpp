#include "file_replace_platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

namespace zarnocrypt::cli {
namespace {

// Links are followed by hand, at most this many in a row, as the kernel would.
constexpr int MAX_LINKS = 40;

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

mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

void Close(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// A link in a shared sticky directory (such as /tmp) is followed only when
// its owner is the directory's or ours: another user's link there could
// point at any file we may write.
bool MayFollow(int dirfd, const struct stat& link)
{
    struct stat directory {};
    if (::fstat(dirfd, &directory) != 0)
        return false;
    const bool shared = (directory.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
    return !shared || link.st_uid == directory.st_uid || link.st_uid == ::geteuid();
}

// The file being replaced: where its name is (a directory opened once and a
// name in it, never resolved again) and what it was at Open.
class Replacement final : public PlatformReplacement {
public:
    ~Replacement() override
    {
        if (!temporary_.empty())
            ::unlinkat(dirfd_, temporary_.c_str(), 0);
        Close(fd_);
        Close(dirfd_);
    }

    // A secret gets mode 0600 and stays ours, whatever the old file had.
    std::string Open(const std::string& path, ReplacementKind kind) override
    {
        path_ = path;
        secret_ = kind != ReplacementKind::Output;
        if (kind == ReplacementKind::NewSecret)
            return CreateNew();
        if (std::string problem = Find(); !problem.empty())
            return problem;
        return direct_ ? std::string() : CreateTemporary();
    }

    std::string Write(const std::uint8_t* data, std::size_t size) override
    {
        if (fd_ < 0)
            return Failure(path_, "write", EBADF);
        return WriteAll(fd_, data, size) ? std::string() : Failure(path_, "write", errno);
    }

    std::string Commit() override
    {
        if (fd_ < 0)
            return Failure(path_, "write", EBADF);
        if (direct_)
            return ::close(std::exchange(fd_, -1)) == 0 ? std::string() : Failure(path_, "write", errno);
        if (::fsync(fd_) != 0)
            return Failure(path_, "flush", errno);
        KeepOwner();
        if (::fchmod(fd_, mode_) != 0)
            return Failure(path_, "set the permissions of", errno);
        if (::close(std::exchange(fd_, -1)) != 0)
            return Failure(path_, "write", errno);
        if (!inPlace_ && !Unchanged())
            return "cannot replace " + path_ + ": it was replaced by something else while being written; left as is";
        if (!inPlace_ && ::renameat(dirfd_, temporary_.c_str(), dirfd_, name_.c_str()) != 0)
            return Failure(path_, "replace", errno);
        temporary_.clear();
        // A crash after the rename must not lose the new name; best effort,
        // since not every file system can flush a directory.
        ::fsync(dirfd_);
        return {};
    }

private:
    // Sets dirfd_ and name_ to where the file is: the named one, or where a
    // link there (found now, and trusted) points.
    std::string Find()
    {
        std::string path = path_;
        for (int links = 0;; ++links) {
            if (std::string problem = OpenDirectory(path); !problem.empty())
                return problem;
            if (::fstatat(dirfd_, name_.c_str(), &found_, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno != ENOENT)
                    return Failure(path_, "write", errno);
                existed_ = false;
                mode_ = secret_ ? 0600 : NewFileMode();
                return {};
            }
            if (S_ISDIR(found_.st_mode))
                return Failure(path_, "write", EISDIR);
            if (S_ISREG(found_.st_mode)) {
                mode_ = secret_ ? 0600 : found_.st_mode & 07777;
                return {};
            }
            if (!S_ISLNK(found_.st_mode))
                return OpenDirectly(O_NOFOLLOW);
            struct stat pointed {};
            if (::fstatat(dirfd_, name_.c_str(), &pointed, 0) != 0) {
                mode_ = secret_ ? 0600 : NewFileMode();  // a dangling link: the link is replaced
                return {};
            }
            if (!S_ISREG(pointed.st_mode) && !S_ISDIR(pointed.st_mode))
                return OpenDirectly(0);  // e.g. /dev/stdout, a link to a pipe or terminal
            if (IsStandardOutput(pointed))
                return WriteToStandardOutput();
            if (links == MAX_LINKS)
                return Failure(path_, "write", ELOOP);
            if (!MayFollow(dirfd_, found_))
                return "cannot write " + path_ + ": a symbolic link in a shared directory that another user owns";
            if (std::string problem = ReadLink(path); !problem.empty())
                return problem;
        }
    }

    // Opens path's directory, relative to the current one (the first time)
    // or to the directory of the link that named path.
    std::string OpenDirectory(const std::string& path)
    {
        const std::size_t slash = path.find_last_of('/');
        name_ = slash == std::string::npos ? path : path.substr(slash + 1);
        if (name_.empty() || name_ == "." || name_ == "..")
            return Failure(path_, "write", EISDIR);
        const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        const int base = dirfd_ >= 0 ? dirfd_ : AT_FDCWD;
        const int opened = ::openat(base, directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const int error = errno;
        Close(dirfd_);
        dirfd_ = opened;
        return dirfd_ >= 0 ? std::string() : Failure(path_, "write", error);
    }

    std::string ReadLink(std::string& target)
    {
        std::vector<char> text(PATH_MAX + 1);
        const ssize_t length = ::readlinkat(dirfd_, name_.c_str(), text.data(), text.size());
        if (length < 0 || static_cast<std::size_t>(length) >= text.size())
            return Failure(path_, "write", length < 0 ? errno : ENAMETOOLONG);
        target.assign(text.data(), static_cast<std::size_t>(length));
        return {};
    }

    // Never through a link, never over anything: the file is written in
    // place and removed again unless committed.
    std::string CreateNew()
    {
        if (std::string problem = OpenDirectory(path_); !problem.empty())
            return problem;
        fd_ = ::openat(dirfd_, name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd_ < 0)
            return Failure(path_, "create", errno);
        temporary_ = name_;
        inPlace_ = true;
        return {};
    }

    // Devices, pipes and terminals cannot be renamed over: written in place.
    std::string OpenDirectly(int flags)
    {
        direct_ = true;
        fd_ = ::openat(dirfd_, name_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | flags);
        if (fd_ < 0)
            return Failure(path_, "open", errno);
        struct stat opened {};
        if (::fstat(fd_, &opened) != 0 || S_ISREG(opened.st_mode))
            return "cannot write " + path_ + ": it was replaced by something else while being opened";
        return {};
    }

    // /dev/stdout redirected to a file writes where the shell's descriptor
    // writes (its offset, its append mode); renaming over the file would
    // leave that descriptor writing to a removed file.
    static bool IsStandardOutput(const struct stat& file)
    {
        struct stat output {};
        return ::fstat(STDOUT_FILENO, &output) == 0 && SameFile(output, file);
    }

    std::string WriteToStandardOutput()
    {
        direct_ = true;
        fd_ = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
        return fd_ >= 0 ? std::string() : Failure(path_, "write", errno);
    }

    std::string CreateTemporary()
    {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            char name[32];
            std::snprintf(name, sizeof name, ".zarnocrypt-%08x%08x", random(), random());
            fd_ = ::openat(dirfd_, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd_ >= 0) {
                temporary_ = name;
                return {};
            }
            if (errno != EEXIST)
                break;
        }
        return Failure(path_, "create a temporary file for", errno);
    }

    // The replacement belongs to the old file's owner and group if we may
    // make it so; if not, it is ours, and a set-user or set-group bit would
    // now grant our rights: those are dropped.
    void KeepOwner()
    {
        if (!existed_ || secret_ || S_ISLNK(found_.st_mode))
            return;
        struct stat made {};
        if (::fstat(fd_, &made) == 0 && made.st_uid == found_.st_uid && made.st_gid == found_.st_gid)
            return;
        if (::fchown(fd_, found_.st_uid, found_.st_gid) == 0)
            return;
        mode_ &= ~(S_ISUID | S_ISGID);
        std::fprintf(stderr, "zarnocrypt: note: could not keep the owner and group of %s\n", path_.c_str());
    }

    // The name still holds what Open found there (or still nothing).
    bool Unchanged() const
    {
        struct stat now {};
        if (::fstatat(dirfd_, name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0)
            return errno == ENOENT && !existed_;
        return existed_ && SameFile(now, found_) && (now.st_mode & S_IFMT) == (found_.st_mode & S_IFMT);
    }

    std::string path_;  // as given, for messages
    std::string name_;
    std::string temporary_;
    int dirfd_ = -1;
    int fd_ = -1;
    bool secret_ = false;
    bool direct_ = false;
    bool inPlace_ = false;
    bool existed_ = true;
    struct stat found_ {};
    mode_t mode_ = 0600;
};

}  // namespace

std::unique_ptr<PlatformReplacement> NewPlatformReplacement() { return std::make_unique<Replacement>(); }

}  // namespace zarnocrypt::cli
