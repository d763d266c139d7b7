// Whole sealed messages in memory, and their marked text form
//
//   "[ZQV]" "G" LF Base64(sealed message) "[/ZQV]"
//
// in the layouts of the legacy text forms (see text_forms.h). The plaintext
// of a sealed text is the string's UTF-8 bytes, whole: no terminating NUL is
// added, and NULs inside are kept.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "buffer.h"
#include "sealed_header.h"
#include "status.h"

namespace zarnocrypt {

// The sealed message of plaintext under the key text, with the parameters,
// salt and nonce of header (a writer's fresh ones). Argon2id's failures,
// TooLarge, NoMemory; message is set only on Ok.
Status SealBytes(std::span<const std::uint8_t> keyTextUtf8, std::span<const std::uint8_t> plaintext,
                 const SealedHeader& header, Buffer& message) noexcept;

// The plaintext of a sealed message, followed by a NUL inside the buffer.
// BadHeader for a message shorter than the header or a header a reader
// refuses, Argon2id's failures, Unauthentic, NoMemory. plaintext is set only
// on Ok: nothing of a message that does not authenticate is handed out.
Status OpenBytes(std::span<const std::uint8_t> keyTextUtf8, std::span<const std::uint8_t> message,
                 Buffer& plaintext) noexcept;

// SealBytes of text, marked in the layout of options (FORM_ bits).
Status SealText(std::string_view keyTextUtf8, std::string_view text, const SealedHeader& header,
                std::uint32_t options, Buffer& marked) noexcept;

// OpenBytes of a sealed text's body, after UnmarkBytes's NotMarked and
// Damaged (another type letter too).
Status OpenText(std::string_view keyTextUtf8, std::string_view marked, Buffer& plaintext) noexcept;

}  // namespace zarnocrypt
