#include <windows.h>
// <windows.h> maps ReplaceFile to the system's ReplaceFileA; ours is another function.
#undef ReplaceFile

#include "file_replace_platform.h"

#include <string>
#include <utility>

namespace zarnocrypt::cli {
namespace {

std::string SystemMessage(DWORD error)
{
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 ? std::string(text, length) : "error " + std::to_string(error);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message;
}

std::string Failure(const std::string& path, const char* doing, DWORD error)
{
    return std::string("cannot ") + doing + " " + path + ": " + SystemMessage(error);
}

bool WriteAll(HANDLE file, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Paths arrive in the ANSI code page, as the A functions would read them.
// The full path, since ReplaceFileW of some systems refuses relative ones.
std::wstring FullPath(const std::string& path)
{
    std::wstring wide(MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    std::wstring full(GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size())
        return wide.substr(0, wide.size() - 1);
    full.resize(length);
    return full;
}

// The file being replaced, and the temporary beside it (so that the final
// move stays on one volume).
class Replacement final : public PlatformReplacement {
public:
    ~Replacement() override
    {
        if (file_ != INVALID_HANDLE_VALUE)
            CloseHandle(file_);
        if (!temporary_.empty())
            DeleteFileW(temporary_.c_str());
    }

    // Windows has no mode bits: a secret file takes its folder's inherited
    // permissions, as any file the user makes there, or keeps the old ones.
    std::string Open(const std::string& path, ReplacementKind kind) override
    {
        path_ = path;
        target_ = FullPath(path);
        const DWORD attributes = GetFileAttributesW(target_.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return Failure(path, "write", ERROR_DIRECTORY);
        if (kind == ReplacementKind::NewSecret)
            return CreateNew();

        const HANDLE existing = CreateFileW(target_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (existing == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND)
                return Failure(path, "write", error);
            existed_ = false;
        } else if (GetFileType(existing) != FILE_TYPE_DISK) {
            file_ = existing;  // consoles, NUL and pipes cannot be replaced: written in place
            direct_ = true;
            return {};
        } else {
            CloseHandle(existing);
        }
        return CreateTemporary();
    }

    std::string Write(const std::uint8_t* data, std::size_t size) override
    {
        if (file_ == INVALID_HANDLE_VALUE)
            return Failure(path_, "write", ERROR_INVALID_HANDLE);
        return WriteAll(file_, data, size) ? std::string() : Failure(path_, "write", GetLastError());
    }

    std::string Commit() override
    {
        if (file_ == INVALID_HANDLE_VALUE)
            return Failure(path_, "write", ERROR_INVALID_HANDLE);
        if (!direct_ && !FlushFileBuffers(file_))
            return Failure(path_, "flush", GetLastError());
        if (!CloseHandle(std::exchange(file_, INVALID_HANDLE_VALUE)))
            return Failure(path_, "write", GetLastError());
        if (direct_ || inPlace_) {
            temporary_.clear();
            return {};
        }
        // ReplaceFileW keeps the target's permissions, owner and attributes;
        // a plain move would give it the temporary's inherited ones.
        const bool moved = existed_ ? ReplaceFileW(target_.c_str(), temporary_.c_str(), nullptr,
                                                   REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                                    : MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_WRITE_THROUGH);
        if (!moved)
            return Failure(path_, "replace", GetLastError());
        temporary_.clear();
        return {};
    }

private:
    std::string CreateNew()
    {
        file_ = CreateFileW(target_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ == INVALID_HANDLE_VALUE)
            return Failure(path_, "create", GetLastError());
        temporary_ = target_;  // removed again unless committed
        inPlace_ = true;
        return {};
    }

    std::string CreateTemporary()
    {
        for (unsigned attempt = 0; attempt < 100; ++attempt) {
            temporary_ = target_ + L".zarnocrypt-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                         std::to_wstring(GetTickCount() + attempt);
            file_ = CreateFileW(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
            if (file_ != INVALID_HANDLE_VALUE)
                return {};
            if (GetLastError() != ERROR_FILE_EXISTS)
                break;
        }
        const DWORD error = GetLastError();
        temporary_.clear();
        return Failure(path_, "create a temporary file for", error);
    }

    std::string path_;  // as given, for messages
    std::wstring target_;
    std::wstring temporary_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    bool existed_ = true;
    bool direct_ = false;
    bool inPlace_ = false;
};

}  // namespace

std::unique_ptr<PlatformReplacement> NewPlatformReplacement() { return std::make_unique<Replacement>(); }

}  // namespace zarnocrypt::cli
