// Readers of both formats. A sealed message is told from a legacy one by its
// type letter "G" or its magic and opened with the key text; a legacy one is
// decrypted with the schedule made from that key text.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "envelope_stream.h"
#include "text_forms.h"

namespace zarnocrypt {

// A marked text of a type that readable takes: "G" as OpenText, the others
// as DecryptText. On Ok, type is the text's type; a legacy plaintext is L
// bytes with the text's terminating NUL (see TextLength), a sealed one the
// string's UTF-8 bytes, whole.
Status DecryptAnyText(std::string_view text, RijndaelKey& key, std::string_view keyTextUtf8, unsigned readable,
                      Buffer& plaintext, TextType& type) noexcept;

// A sealed message (OpenBytes) or an envelope (DecryptEnvelope).
Status DecryptAnyBytes(std::span<const std::uint8_t> message, RijndaelKey& key,
                       std::span<const std::uint8_t> keyTextUtf8, Buffer& plaintext) noexcept;

// A sealed message (OpenSealedStream) or an envelope (DecryptEnvelopeStream,
// with work and size) from source. Either way, after a failure the caller
// discards what sink was given.
Status DecryptAnyStream(RijndaelKey& key, std::span<const std::uint8_t> keyTextUtf8, ByteSource& source,
                        ByteSink& sink, std::span<std::uint8_t> work,
                        std::uint64_t size = ENVELOPE_SIZE_UNKNOWN) noexcept;

}  // namespace zarnocrypt
