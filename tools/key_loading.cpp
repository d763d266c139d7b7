#include "key_loading.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "buffer.h"
#include "key_text.h"
#include "utf8.h"

namespace zarnocrypt::cli {
namespace {

// An editor's UTF-8 byte-order mark before the text is not part of the key.
constexpr std::uint8_t BYTE_ORDER_MARK[] = {0xEF, 0xBB, 0xBF};

// One line end, as editors and `echo` leave it, is not part of the key.
std::size_t WithoutLineEnd(const std::uint8_t* text, std::size_t size)
{
    if (size >= 1 && text[size - 1] == '\n')
        --size;
    else
        return size;
    if (size >= 1 && text[size - 1] == '\r')
        --size;
    return size;
}

std::string SetKeyFromText(LoadedKey& key, const char* text, std::size_t length)
{
    key.text = Buffer::Allocate(length);
    if (!key.text || LoadKeyText(key.legacy, text, length) == Status::NoMemory)
        return "out of memory";
    if (length > 0)
        std::memcpy(key.text.data(), text, length);
    return {};
}

std::string ErrnoText(int error) { return error ? std::strerror(error) : "unknown error"; }

// Up to one byte beyond the limit into text (wiped when released), with no
// stdio buffer in between that would be freed holding the key unwiped.
std::string ReadKeyFile(const std::string& path, const std::string& what, Buffer& text)
{
    text = Buffer::Allocate(KEY_FILE_LIMIT + 1);
    if (!text)
        return "out of memory";
    std::FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (!file)
        return "cannot open " + what + ": " + ErrnoText(errno);
    std::setvbuf(file, nullptr, _IONBF, 0);
    text.Shrink(std::fread(text.data(), 1, text.size(), file));
    const int error = std::ferror(file) ? errno : 0;
    if (file != stdin)
        std::fclose(file);
    if (error)
        return "cannot read " + what + ": " + ErrnoText(error);
    if (text.size() > KEY_FILE_LIMIT)
        return what + " is too large: a key file takes at most " + std::to_string(KEY_FILE_LIMIT) + " bytes";
    return {};
}

}  // namespace

std::string LoadKey(const std::optional<std::string>& keyFile, LoadedKey& key, const char* option)
{
    if (!keyFile) {
        // The variable's own storage belongs to the environment; the key copy
        // inside RijndaelKey is what we own and wipe.
        const char* text = std::getenv(KEY_ENVIRONMENT_VARIABLE);
        return SetKeyFromText(key, text, text != nullptr ? std::strlen(text) : 0);
    }
    // Messages name the option, never the path: a key typed where the
    // path belongs must not reach a terminal or a log.
    const std::string what = std::string("the key file (") + option + ")";
    Buffer text;
    if (std::string problem = ReadKeyFile(*keyFile, what, text); !problem.empty())
        return problem;
    const std::size_t length = WithoutLineEnd(text.data(), text.size());
    const std::size_t mark = sizeof BYTE_ORDER_MARK;
    const std::size_t start = length >= mark && std::memcmp(text.data(), BYTE_ORDER_MARK, mark) == 0 ? mark : 0;
    // A zero byte would silently end the key text there and drop the rest of
    // the key; refuse instead of using a weaker key than the file suggests.
    if (std::memchr(text.data(), 0, length) != nullptr)
        return what + " holds a zero byte; a key text cannot contain one";
    return SetKeyFromText(key, reinterpret_cast<const char*>(text.data() + start), length - start);
}

std::string SealingKeyProblem(const LoadedKey& key)
{
    if (IsValidUtf8(key.text.data(), key.text.size()))
        return {};
    return "the key text is not valid UTF-8; sealed messages take a UTF-8 key text";
}

}  // namespace zarnocrypt::cli
