// The sealed half of inspect: header fields, chunk count and, with a key,
// whether the message authenticates.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "envelope_report.h"
#include "key_loading.h"

namespace zarnocrypt::cli {

// Appends "name: value" lines about the sealed message to report. Sound when
// its header is one a reader takes, its size is that of whole chunks and,
// with a key, it authenticates (else Unauthentic).
Verdict DescribeSealedMessage(std::span<const std::uint8_t> message, const LoadedKey& key, std::string& report);

}  // namespace zarnocrypt::cli
