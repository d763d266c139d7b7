// The marked text form of sealed messages
//
//   "[ZQV]" "G" LF Base64(sealed message) "[/ZQV]"
//
// in the layouts of the legacy text forms (see text_forms.h). The plaintext
// of a sealed text is the string's UTF-8 bytes, whole: no terminating NUL is
// added, and NULs inside are kept.
#pragma once

#include <cstdint>
#include <string_view>

#include "buffer.h"
#include "sealed_header.h"
#include "status.h"

namespace zarnocrypt {

// SealBytes of text, marked in the layout of options (FORM_ bits).
Status SealText(std::string_view keyTextUtf8, std::string_view text, const SealedHeader& header,
                std::uint32_t options, Buffer& marked) noexcept;

// SealText with a writer's fresh header.
Status SealText(std::string_view keyTextUtf8, std::string_view text, std::uint32_t options, Buffer& marked) noexcept;

// OpenBytes of a sealed text's body, after UnmarkBytes's NotMarked and
// Damaged (another type letter too).
Status OpenText(std::string_view keyTextUtf8, std::string_view marked, Buffer& plaintext) noexcept;

// What a sealed text holds, read without a key: its header and chunk count.
// NotMarked, Damaged (another type letter too), NoMemory, then as
// LoadSealedHeader and SealedChunkCount.
Status ReadSealedText(std::string_view text, SealedHeader& header, std::uint64_t& chunks) noexcept;

}  // namespace zarnocrypt
