// The envelope half of inspect: header fields, size check and key checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "buffer.h"
#include "rijndael_key.h"

namespace zarnocrypt::cli {

// What inspect --check decides of a message.
enum class Verdict { Sound, Malformed, NotDecrypted };

// Appends "name: value" lines about the envelope to report. With utf8Text,
// the envelope holds a text of type "U", which decrypts only to UTF-8.
// Sound when its size is consistent and, with a key, it decrypts.
Verdict DescribeEnvelope(const std::uint8_t* envelope, std::size_t size, RijndaelKey& key, std::string& report,
                      bool utf8Text = false);

void AddLine(std::string& report, const std::string& name, const std::string& value, int indent = 0);

}  // namespace zarnocrypt::cli
