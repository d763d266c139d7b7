// The envelope half of inspect: header fields, size check and key checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "buffer.h"
#include "rijndael_key.h"

namespace zarnocrypt::cli {

// What inspect --check decides of a message. A sealed message that does not
// authenticate with the key given fails inspect even without --check.
enum class Verdict { Sound, Malformed, NotDecrypted, Unauthentic };

// Appends "name: value" lines about the envelope to report. With utf8Text,
// the envelope holds a text of type "U", which decrypts only to UTF-8.
// Sound when its size is consistent and, with a key, it decrypts.
Verdict DescribeEnvelope(const std::uint8_t* envelope, std::size_t size, RijndaelKey& key, std::string& report,
                      bool utf8Text = false);

void AddLine(std::string& report, const std::string& name, const std::string& value, int indent = 0);

// "1 byte", "2 bytes".
std::string Plural(std::uint64_t count, const char* noun);

}  // namespace zarnocrypt::cli
