#include <windows.h>
// <windows.h> maps ReplaceFile to the system's ReplaceFileA; ours is another function.
#undef ReplaceFile

#include "file_replace.h"

#include <string>

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

// Consoles, NUL and pipes cannot be renamed over: they are written in place.
std::string WriteDirectly(HANDLE file, const std::string& path, const std::uint8_t* data, std::size_t size)
{
    const bool written = WriteAll(file, data, size);
    const DWORD error = GetLastError();
    CloseHandle(file);
    return written ? std::string() : Failure(path, "write", error);
}

// A new file beside the target, so that the rename stays on one volume.
HANDLE CreateTemporary(const std::string& target, std::string& name)
{
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        name = target + ".zarnocrypt-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(GetTickCount() + attempt);
        const HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

std::string WriteAndRename(const std::string& target, const std::uint8_t* data, std::size_t size)
{
    std::string temporary;
    const HANDLE file = CreateTemporary(target, temporary);
    if (file == INVALID_HANDLE_VALUE)
        return Failure(target, "create a temporary file for", GetLastError());

    const char* doing = nullptr;
    DWORD error = 0;
    const auto fail = [&](const char* what) {
        if (!doing) {
            doing = what;
            error = GetLastError();
        }
    };
    if (!WriteAll(file, data, size))
        fail("write");
    else if (!FlushFileBuffers(file))
        fail("flush");
    if (!CloseHandle(file))
        fail("write");
    if (!doing &&
        !MoveFileExA(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        fail("replace");
    if (doing) {
        DeleteFileA(temporary.c_str());
        return Failure(target, doing, error);
    }
    return {};
}

}  // namespace

std::string ReplaceFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return Failure(path, "write", ERROR_DIRECTORY);

    const HANDLE existing = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (existing == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND)
            return Failure(path, "write", error);
        return WriteAndRename(path, data, size);
    }
    if (GetFileType(existing) != FILE_TYPE_DISK)
        return WriteDirectly(existing, path, data, size);
    CloseHandle(existing);
    return WriteAndRename(path, data, size);
}

}  // namespace zarnocrypt::cli
