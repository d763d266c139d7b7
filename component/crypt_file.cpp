#include "crypt_file.h"

#include <algorithm>
#include <cwchar>
#include <new>

#include "buffer.h"
#include "crypter_errors.h"
#include "either_format.h"
#include "envelope_stream.h"
#include "sealed_message.h"

namespace zarnocrypt {
namespace {

constexpr DWORD MAX_TRANSFER = 1u << 30;  // ReadFile and WriteFile count in 32 bits

// "Cannot <verb> "<path>": <reason>", built by the system so that no path is too long.
HRESULT ReportFileFailure(const wchar_t* verb, const wchar_t* path, const wchar_t* reason) noexcept
{
    const DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(verb), reinterpret_cast<DWORD_PTR>(path),
                                 reinterpret_cast<DWORD_PTR>(reason)};
    wchar_t* description = nullptr;
    const DWORD made = FormatMessageW(
        FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
        L"Cannot %1 \"%2\": %3", 0, 0, reinterpret_cast<wchar_t*>(&description), 0,
        reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(inserts)));
    const HRESULT result = ReportError(E_CRYPTER_FILE, made != 0 ? description : reason);
    LocalFree(description);
    return result;
}

// The same with the system's message for error as the reason.
HRESULT ReportSystemFailure(const wchar_t* verb, const wchar_t* path, DWORD error) noexcept
{
    wchar_t reason[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  reason, sizeof reason / sizeof reason[0], nullptr);
    while (length > 0 && std::wcschr(L"\r\n ", reason[length - 1]) != nullptr)
        reason[--length] = L'\0';
    return ReportFileFailure(verb, path, length != 0 ? reason : L"Unknown error.");
}

bool IsEmpty(const wchar_t* path) noexcept
{
    return path == nullptr || path[0] == L'\0';
}

class FileHandle {
public:
    explicit FileHandle(HANDLE handle = INVALID_HANDLE_VALUE) noexcept : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { Close(); }

    FileHandle& operator=(HANDLE handle) noexcept
    {
        Close();
        handle_ = handle;
        return *this;
    }
    bool Close() noexcept
    {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle == INVALID_HANDLE_VALUE || CloseHandle(handle);
    }
    bool Valid() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const noexcept { return handle_; }

private:
    HANDLE handle_;
};

class FileSource final : public ByteSource {
public:
    explicit FileSource(HANDLE file) noexcept : file_(file) {}

    Status Read(std::uint8_t* into, std::size_t want, std::size_t& got) noexcept override
    {
        DWORD read = 0;
        if (!ReadFile(file_, into, static_cast<DWORD>(std::min<std::size_t>(want, MAX_TRANSFER)), &read, nullptr)) {
            error_ = GetLastError();
            return Status::Io;
        }
        got = read;
        return Status::Ok;
    }

    DWORD Error() const noexcept { return error_; }

private:
    HANDLE file_;
    DWORD error_ = 0;
};

// A new file beside the destination, made at the first byte (so that a
// refusal before any output leaves nothing behind), which takes the
// destination's place only once complete, and is deleted otherwise.
class ReplacingSink final : public ByteSink {
public:
    explicit ReplacingSink(const wchar_t* destination) noexcept : destination_(destination) {}
    ReplacingSink(const ReplacingSink&) = delete;
    ReplacingSink& operator=(const ReplacingSink&) = delete;
    ~ReplacingSink()
    {
        file_.Close();
        if (temporary_ != nullptr && !committed_)
            DeleteFileW(temporary_);
        delete[] names_;
    }

    Status Write(const std::uint8_t* data, std::size_t size) noexcept override
    {
        if (!file_.Valid() && !Create())
            return Status::Io;
        while (size > 0) {
            DWORD written = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, MAX_TRANSFER));
            if (!WriteFile(file_.Get(), data, chunk, &written, nullptr) || written == 0) {
                Fail(L"write");
                return Status::Io;
            }
            data += written;
            size -= written;
        }
        return Status::Ok;
    }

    // Flushed and closed, then in the destination's place: ReplaceFileW keeps
    // an existing destination's attributes and permissions.
    bool Commit() noexcept
    {
        if (!file_.Valid() && !Create())
            return false;
        if (!FlushFileBuffers(file_.Get()) || !file_.Close())
            return Fail(L"write");
        const bool replaced =
            GetFileAttributesW(names_) != INVALID_FILE_ATTRIBUTES
                ? ReplaceFileW(names_, temporary_, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                : MoveFileExW(temporary_, names_, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!replaced)
            return Fail(L"replace");
        committed_ = true;
        return true;
    }

    HRESULT Report() const noexcept { return ReportSystemFailure(verb_, destination_, error_); }

private:
    // Both names in full (ReplaceFileW of some systems takes no relative
    // path), the temporary one the destination's with ".~zc<8 hex
    // digits>.tmp": the same folder, so the rename stays on one volume.
    bool Create() noexcept
    {
        static constexpr wchar_t SUFFIX[] = L".~zc00000000.tmp";
        constexpr std::size_t DIGITS_AT = 4;
        const DWORD room = GetFullPathNameW(destination_, 0, nullptr, nullptr);
        if (room == 0)
            return Fail(L"write");
        names_ = new (std::nothrow) wchar_t[2 * room + sizeof SUFFIX / sizeof SUFFIX[0]];
        if (names_ == nullptr)
            return Fail(L"write", ERROR_NOT_ENOUGH_MEMORY);
        const DWORD length = GetFullPathNameW(destination_, room, names_, nullptr);
        if (length == 0 || length >= room)
            return Fail(L"write");
        temporary_ = names_ + room;
        std::wmemcpy(temporary_, names_, length);
        std::wmemcpy(temporary_ + length, SUFFIX, sizeof SUFFIX / sizeof SUFFIX[0]);
        DWORD unique = GetTickCount() ^ (GetCurrentProcessId() << 16);
        for (int attempt = 0; attempt < 64; ++attempt, ++unique) {
            for (int digit = 0; digit < 8; ++digit)
                temporary_[length + DIGITS_AT + digit] = L"0123456789abcdef"[(unique >> (28 - 4 * digit)) & 15];
            file_ = CreateFileW(temporary_, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file_.Valid())
                return true;
            if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
                break;
        }
        temporary_ = nullptr;  // nothing was made under the name
        return Fail(L"write");
    }

    // Keeps what failed for Report; false, for the callers to return.
    bool Fail(const wchar_t* verb, DWORD error = GetLastError()) noexcept
    {
        verb_ = verb;
        error_ = error;
        return false;
    }

    const wchar_t* destination_;  // as given, for the messages
    wchar_t* names_ = nullptr;      // the destination's full name, then the temporary one
    wchar_t* temporary_ = nullptr;  // set once the temporary file exists
    FileHandle file_;
    const wchar_t* verb_ = L"write";
    DWORD error_ = 0;
    bool committed_ = false;
};

HRESULT ReportContentFailure(CryptDirection direction, Status status, const FileSource& reader,
                             const ReplacingSink& writer, const wchar_t* source) noexcept
{
    switch (status) {
    case Status::Io:
        return reader.Error() != 0 ? ReportSystemFailure(L"read", source, reader.Error()) : writer.Report();
    case Status::NoMemory:
        return E_OUTOFMEMORY;
    case Status::Size:
        // A file whose size is taken first has no other way to disagree with it.
        if (direction == CryptDirection::Encrypt)
            return ReportFileFailure(L"read", source, L"The file changed while it was read.");
        break;
    default:
        break;
    }
    return ReportFailure(direction == CryptDirection::Encrypt ? ENCRYPT_FAILED : DECRYPT_FAILED);
}

Status CryptStream(const MessageKeys& keys, CryptDirection direction, std::uint64_t length, ByteSource& reader,
                   ByteSink& writer, std::span<std::uint8_t> work) noexcept
{
    if (direction == CryptDirection::Encrypt)
        return keys.sealed ? SealStream(keys.keyText, reader, writer)
                           : EncryptEnvelopeStream(keys.cipher, length, reader, writer, work);
    return keys.sealed ? DecryptAnyStream(keys.cipher, keys.keyText, reader, writer, work, length)
                       : DecryptEnvelopeStream(keys.cipher, reader, writer, work, length);
}

}  // namespace

HRESULT CryptFile(const MessageKeys& keys, CryptDirection direction, const wchar_t* source, const wchar_t* destination,
                  std::size_t chunkSize) noexcept
{
    if (!keys.cipher.HasKeyBytes())
        return ReportFailure(KEY_HAS_NOT_BEEN_SET);
    if (IsEmpty(source))
        return ReportError(E_CRYPTER_FILE, L"No source file name given.");
    if (IsEmpty(destination))
        return ReportError(E_CRYPTER_FILE, L"No destination file name given.");
    Buffer work = Buffer::AllocateForOverwrite(std::max(chunkSize, ENVELOPE_STREAM_MIN_WORK));
    if (!work)
        return E_OUTOFMEMORY;

    FileHandle input(CreateFileW(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!input.Valid())
        return ReportSystemFailure(L"open", source, GetLastError());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(input.Get(), &size))
        return ReportSystemFailure(L"read", source, GetLastError());

    FileSource reader(input.Get());
    ReplacingSink writer(destination);
    const std::uint64_t length = static_cast<std::uint64_t>(size.QuadPart);
    const std::span<std::uint8_t> buffer(work.data(), work.size());
    const Status status = CryptStream(keys, direction, length, reader, writer, buffer);
    // Closed before the replacement, which may be of this very file.
    input.Close();
    if (status != Status::Ok)
        return ReportContentFailure(direction, status, reader, writer, source);
    return writer.Commit() ? S_OK : writer.Report();
}

}  // namespace zarnocrypt
