#include "either_format.h"

#include <array>

#include "sealed_message.h"
#include "sealed_text.h"

namespace zarnocrypt {

Status DecryptAnyText(std::string_view text, RijndaelKey& key, std::string_view keyTextUtf8, unsigned readable,
                      Buffer& plaintext, TextType& type) noexcept
{
    const bool sealed = text.size() > START_MARKER_SIZE && text.starts_with(START_MARKER) &&
                        text[START_MARKER_SIZE] == static_cast<char>(TextType::Sealed);
    if (!sealed || (readable & READ_SEALED) == 0)
        return DecryptText(text.data(), text.size(), key, plaintext, readable & ~READ_SEALED, &type);
    if (const Status status = OpenText(keyTextUtf8, text, plaintext); status != Status::Ok)
        return status;
    type = TextType::Sealed;
    return Status::Ok;
}

Status DecryptAnyBytes(std::span<const std::uint8_t> message, RijndaelKey& key,
                       std::span<const std::uint8_t> keyTextUtf8, Buffer& plaintext) noexcept
{
    if (StartsSealedMessage(message))
        return OpenBytes(keyTextUtf8, message, plaintext);
    return DecryptEnvelope(key, message.data(), message.size(), plaintext);
}

Status DecryptAnyStream(RijndaelKey& key, std::span<const std::uint8_t> keyTextUtf8, ByteSource& source,
                        ByteSink& sink, std::span<std::uint8_t> work, std::uint64_t size) noexcept
{
    std::array<std::uint8_t, 4> start{};
    std::size_t got = 0;
    if (const Status status = ReadFull(source, start.data(), start.size(), got); status != Status::Ok)
        return status;
    PrefixedSource whole(std::span(start.data(), got), source);
    if (StartsSealedMessage(std::span(start.data(), got)))
        return OpenSealedStream(keyTextUtf8, whole, sink);
    return DecryptEnvelopeStream(key, whole, sink, work, size);
}

}  // namespace zarnocrypt
