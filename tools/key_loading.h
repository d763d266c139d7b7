// Where the tool's key text comes from: a key file, else the environment
// variable ZARNOCRYPT_KEY; never the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "buffer.h"
#include "rijndael_key.h"

namespace zarnocrypt::cli {

inline constexpr const char* KEY_ENVIRONMENT_VARIABLE = "ZARNOCRYPT_KEY";
inline constexpr std::size_t KEY_FILE_LIMIT = 64 * 1024;

// A key text and the legacy key made from it: sealed messages are keyed by
// the text itself, whole.
struct LoadedKey {
    RijndaelKey legacy;
    Buffer text;  // the key text's bytes (UTF-8 for sealed messages); wiped when released

    std::span<const std::uint8_t> Bytes() const noexcept { return {text.data(), text.size()}; }
    std::string_view Text() const noexcept { return {reinterpret_cast<const char*>(text.data()), text.size()}; }
};

// Sets key from the key text as SetKey does ("-" reads the key file from
// standard input). No key file and no variable, or an empty text, leaves the
// key Empty: the commands report that themselves. Empty result on success,
// else the message (unreadable key file, a zero byte in it, or no memory for
// the key), which names the file by option only: "the key file (-k)".
std::string LoadKey(const std::optional<std::string>& keyFile, LoadedKey& key, const char* option = "-k");

// Why key cannot seal: empty when its text is valid UTF-8, as every reader
// of sealed messages takes it.
std::string SealingKeyProblem(const LoadedKey& key);

}  // namespace zarnocrypt::cli
