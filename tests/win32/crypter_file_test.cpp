// EncryptFile and DecryptFile's file work as one table, in pieces of 128
// bytes, under wide names (narrow ones would go through the code page): what the destination holds afterwards, the HRESULT and message, and
// that no temporary file is left beside it.
#include <cstdio>
#include <cstring>
#include <string>

#include "com_support.h"
#include "crypt_file.h"
#include "envelope.h"
#include "key_text.h"
#include "sealed_message.h"

namespace zarnocrypt::test {
namespace {

constexpr HRESULT NO_KEY = 0x80040197, NOT_DECRYPTED = 0x80040198, FILE_FAILED = 0x8004019F;

enum Content { None, Old, Plain, Nothing, Envelope, EmptyEnvelope, OtherKey, LastBlockCorrupt, Sealed, SealedCut };

struct Row {
    const char* name;
    CryptDirection direction;
    Content source;
    Content destination;  // before the call
    HRESULT result;
    Content after;            // the destination afterwards
    const wchar_t* message;   // part of the published description
    const wchar_t* file = L"a.bin";  // the source; the destination adds ".out"
    bool sealed = false;             // Format "Sealed"
};

const Row ROWS[] = {
    {"encrypt", CryptDirection::Encrypt, Plain, None, S_OK, Envelope, nullptr},
    {"decrypt", CryptDirection::Decrypt, Envelope, None, S_OK, Plain, nullptr},
    {"replace existing", CryptDirection::Encrypt, Plain, Old, S_OK, Envelope, nullptr},
    {"empty file", CryptDirection::Encrypt, Nothing, None, S_OK, EmptyEnvelope, nullptr},
    {"empty message", CryptDirection::Decrypt, EmptyEnvelope, Old, S_OK, Nothing, nullptr},
    {"unicode name", CryptDirection::Encrypt, Plain, None, S_OK, Envelope, nullptr, L"za\u017c\u00f3\u0142\u0107.bin"},
    {"wrong key", CryptDirection::Decrypt, OtherKey, None, NOT_DECRYPTED, None, L"|Cannot decrypt data."},
    {"last block", CryptDirection::Decrypt, LastBlockCorrupt, Old, NOT_DECRYPTED, Old, L"|Cannot decrypt data."},
    {"not a message", CryptDirection::Decrypt, Plain, None, NOT_DECRYPTED, None, L"|Cannot decrypt data."},
    {"missing source", CryptDirection::Encrypt, None, Old, FILE_FAILED, Old, L"|Cannot open \"a.bin\": "},
    {"sealed encrypt", CryptDirection::Encrypt, Plain, Old, S_OK, Sealed, nullptr, L"a.bin", true},
    {"sealed decrypt", CryptDirection::Decrypt, Sealed, None, S_OK, Plain, nullptr, L"a.bin", true},
    {"sealed reads legacy", CryptDirection::Decrypt, Envelope, None, S_OK, Plain, nullptr, L"a.bin", true},
    {"sealed cut", CryptDirection::Decrypt, SealedCut, Old, NOT_DECRYPTED, Old, L"|Cannot decrypt data.", L"a.bin", true},
    {"legacy reads no sealed", CryptDirection::Decrypt, Sealed, None, NOT_DECRYPTED, None, L"|Cannot decrypt data."},
};

std::span<const std::uint8_t> KeyText(const char* text = "file key")
{
    return {reinterpret_cast<const std::uint8_t*>(text), std::strlen(text)};
}

const Bytes ABSENT{0xAB, 0x5E, 0xE7};

Bytes Make(Content content, const char* keyText = "file key")
{
    if (content == None)
        return ABSENT;
    Bytes plain(1000);
    for (std::size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<std::uint8_t>(i * 13);
    if (content == Old || content == Plain || content == Nothing)
        return content == Old ? Bytes{'o', 'l', 'd'} : content == Plain ? plain : Bytes{};
    RijndaelKey key;
    EXPECT_EQ(LoadKeyText(key, keyText, std::strlen(keyText)), Status::Ok);
    if (content == EmptyEnvelope)
        plain.clear();
    Buffer envelope;
    if (content == Sealed || content == SealedCut)
        EXPECT_EQ(SealBytes(KeyText(keyText), plain, envelope), Status::Ok);
    else
        EXPECT_EQ(EncryptEnvelope(key, plain.data(), plain.size(), envelope), Status::Ok);
    Bytes bytes(envelope.begin(), envelope.end());
    if (content == OtherKey)
        return Make(Envelope, "other key");
    if (content == LastBlockCorrupt)
        bytes.back() ^= 1;
    if (content == SealedCut)
        bytes.pop_back();
    return bytes;
}

void Put(const std::wstring& path, Content content)
{
    if (content == None)
        return;
    const Bytes bytes = Make(content);
    FILE* file = _wfopen(path.c_str(), L"wb");
    ASSERT_NE(file, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), file);
    fclose(file);
}

// The file's bytes and how many files the folder holds.
std::pair<Bytes, int> Look(const std::wstring& path)
{
    FILE* file = _wfopen(path.c_str(), L"rb");
    Bytes bytes = file ? Bytes(4096) : ABSENT;
    if (file) {
        bytes.resize(fread(bytes.data(), 1, bytes.size(), file));
        fclose(file);
    }
    int files = 0;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(L"*", &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
        files += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    FindClose(search);
    return {bytes, files};
}

TEST(CryptFile, EveryRow)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring work = folder + std::wstring(L"zarnocrypt-file-") + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
    ASSERT_TRUE(SetCurrentDirectoryW(work.c_str()));
    for (const Row& row : ROWS) {
        SCOPED_TRACE(row.name);
        const std::wstring source = row.file, destination = source + L".out";
        Put(source, row.source);
        Put(destination, row.destination);
        RijndaelKey key;
        ASSERT_EQ(LoadKeyText(key, "file key", 8), Status::Ok);
        SetErrorInfo(0, nullptr);
        const MessageKeys keys{key, row.sealed, KeyText()};
        EXPECT_EQ(row.result, CryptFile(keys, row.direction, source.c_str(), destination.c_str(), 128));
        const std::wstring record = TakeErrorRecord();
        EXPECT_TRUE(row.message ? record.find(row.message) != std::wstring::npos : record.empty()) << record;
        const int files = (row.source != None) + (row.after != None);
        auto [bytes, count] = Look(destination);
        if (row.after == Sealed) {  // a new message each time: it must open to the source
            Buffer opened;
            EXPECT_EQ(OpenBytes(KeyText(), bytes, opened), Status::Ok);
            bytes = Bytes(opened.begin(), opened.end());
        }
        EXPECT_EQ(std::pair(bytes, count), std::pair(Make(row.after == Sealed ? Plain : row.after), files));
        DeleteFileW(source.c_str());
        DeleteFileW(destination.c_str());
    }
    RijndaelKey key, none;
    ASSERT_EQ(LoadKeyText(key, "file key", 8), Status::Ok);
    EXPECT_EQ(NO_KEY, CryptFile({none}, CryptDirection::Encrypt, L"a", L"b"));
    EXPECT_EQ(FILE_FAILED, CryptFile({key}, CryptDirection::Decrypt, L"a", L""));
    SetCurrentDirectoryW(folder);
    EXPECT_TRUE(RemoveDirectoryW(work.c_str()));
}

}  // namespace
}  // namespace zarnocrypt::test
