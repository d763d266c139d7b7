#include "key_loading.h"

#include <cstdlib>
#include <cstring>

#include "byte_io.h"
#include "key_text.h"

namespace zarnocrypt::cli {
namespace {

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

std::string SetKeyFromText(RijndaelKey& key, const char* text, std::size_t length)
{
    return LoadKeyText(key, text, length) == Status::NoMemory ? "out of memory" : std::string();
}

}  // namespace

std::string LoadKey(const std::optional<std::string>& keyFile, RijndaelKey& key)
{
    if (!keyFile) {
        // The variable's own storage belongs to the environment; the key copy
        // inside RijndaelKey is what we own and wipe.
        const char* text = std::getenv(KEY_ENVIRONMENT_VARIABLE);
        return SetKeyFromText(key, text, text != nullptr ? std::strlen(text) : 0);
    }
    ReadResult read = ReadInput(keyFile, KEY_FILE_LIMIT, "a key file");
    if (!read.input)
        return "key file: " + read.error;
    Buffer& text = read.input->bytes;  // wiped when it goes out of scope
    const std::size_t length = WithoutLineEnd(text.data(), text.size());
    // A zero byte would silently end the key text there and drop the rest of
    // the key; refuse instead of using a weaker key than the file suggests.
    if (std::memchr(text.data(), 0, length) != nullptr)
        return "key file " + *keyFile + " holds a zero byte; a key text cannot contain one";
    return SetKeyFromText(key, reinterpret_cast<const char*>(text.data()), length);
}

}  // namespace zarnocrypt::cli
