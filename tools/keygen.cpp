#include "keygen.h"

#include "buffer.h"
#include "file_replace.h"
#include "random_bytes.h"

namespace zarnocrypt::cli {
namespace {

constexpr std::uint8_t FIRST_PRINTABLE = 0x21;  // "!"; the space is left out, editors trim it
constexpr unsigned PRINTABLE_COUNT = 0x7E - FIRST_PRINTABLE + 1;
// Bytes at or above the largest multiple of the count below 256 are drawn
// again, so that every character is equally likely.
constexpr unsigned ACCEPTED_BELOW = 256 / PRINTABLE_COUNT * PRINTABLE_COUNT;

bool FillKeyText(std::uint8_t* text, std::size_t length)
{
    Buffer random = Buffer::Allocate(64);
    std::size_t used = random.size();
    for (std::size_t filled = 0; filled < length; ++used) {
        if (used == random.size()) {
            if (!random || RandomBytes({random.data(), random.size()}) != Status::Ok)
                return false;
            used = 0;
        }
        if (random.data()[used] < ACCEPTED_BELOW)
            text[filled++] = static_cast<std::uint8_t>(FIRST_PRINTABLE + random.data()[used] % PRINTABLE_COUNT);
    }
    return true;
}

}  // namespace

std::string WriteNewKeyFile(const std::string& path, bool force)
{
    Buffer text = Buffer::Allocate(KEY_TEXT_LENGTH + 1);  // wiped when released
    if (!text)
        return "out of memory";
    if (!FillKeyText(text.data(), KEY_TEXT_LENGTH))
        return "the system's random source failed";
    text.data()[KEY_TEXT_LENGTH] = '\n';
    return WriteSecretFile(path, text.data(), text.size(), force);
}

}  // namespace zarnocrypt::cli
