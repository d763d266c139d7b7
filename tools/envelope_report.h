// The envelope half of inspect: header fields, size check and key checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "rijndael_key.h"

namespace zarnocrypt::cli {

// Appends "name: value" lines about the envelope to report.
void DescribeEnvelope(const std::uint8_t* envelope, std::size_t size, RijndaelKey& key, std::string& report);

void AddLine(std::string& report, const std::string& name, const std::string& value, int indent = 0);

}  // namespace zarnocrypt::cli
