// A report of what a message is and why it would or would not decrypt:
// form, envelope or sealed header, size check and, with a key, the key checks.
// It never contains plaintext.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "envelope_report.h"
#include "key_loading.h"

namespace zarnocrypt::cli {

// The options (FORM_HTML_COMMENT, FORM_LINE_BREAKS) that the encrypting
// commands would give a marked text's body, the part after its type letter:
// read from its shape, also after rewrapping or with carriage returns.
std::uint32_t FormOptions(std::string_view body);

struct Inspection {
    std::string report;
    Verdict verdict;  // a well-formed message, that decrypts when a key is given
};

// The key is consulted only when it has key bytes; decrypting to check it
// may re-schedule its legacy key for the message's block length.
Inspection InspectMessage(const std::uint8_t* bytes, std::size_t size, LoadedKey& key);

}  // namespace zarnocrypt::cli
