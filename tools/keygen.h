// keygen: a new random key text in a key file.
#pragma once

#include <string>

namespace zarnocrypt::cli {

// 32 printable ASCII characters: 256 bits of key whichever code page a
// reader's SetKey converts them with, and 6.5 bits of entropy each.
inline constexpr std::size_t KEY_TEXT_LENGTH = 32;

// Writes a new key text, then one line feed, to path with mode 0600; an
// existing file is replaced only with force. The key is never shown.
// Empty result on success, else the message.
std::string WriteNewKeyFile(const std::string& path, bool force);

}  // namespace zarnocrypt::cli
