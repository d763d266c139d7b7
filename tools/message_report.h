// A report of what a message is and why it would or would not decrypt:
// form, envelope header, size check and, with a key, the key checks.
// It never contains plaintext.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "rijndael_key.h"

namespace zarnocrypt::cli {

// The key is consulted only when it has key bytes; decrypting to check it
// may re-schedule it for the message's block length.
std::string InspectMessage(const std::uint8_t* bytes, std::size_t size, RijndaelKey& key);

}  // namespace zarnocrypt::cli
