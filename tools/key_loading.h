// Where the tool's key text comes from: a key file, else the environment
// variable ZARNOCRYPT_KEY; never the command line.
#pragma once

#include <optional>
#include <string>

#include "rijndael_key.h"

namespace zarnocrypt::cli {

inline constexpr const char* KEY_ENVIRONMENT_VARIABLE = "ZARNOCRYPT_KEY";
inline constexpr std::size_t KEY_FILE_LIMIT = 64 * 1024;

// Sets key from the key text as SetKey does ("-" reads the key file from
// standard input). No key file and no variable, or an empty text, leaves the
// key Empty: the commands report that themselves. Empty result on success,
// else the message (unreadable key file, a zero byte in it, or no memory for
// the key), which names the file by option only: "the key file (-k)".
std::string LoadKey(const std::optional<std::string>& keyFile, RijndaelKey& key, const char* option = "-k");

}  // namespace zarnocrypt::cli
