#include "sealed_text.h"

#include "master_key_cache.h"
#include "sealed_message.h"
#include "text_forms.h"

namespace zarnocrypt {
namespace {

std::span<const std::uint8_t> BytesOf(std::string_view text) noexcept
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

Status SealText(std::string_view keyTextUtf8, std::string_view text, const SealedHeader& header,
                std::uint32_t options, Buffer& marked) noexcept
{
    Buffer message;
    if (const Status status = SealBytes(BytesOf(keyTextUtf8), BytesOf(text), header, message); status != Status::Ok)
        return status;
    return MarkBytes(message.data(), message.size(), options, TextType::Sealed, marked);
}

Status SealText(std::string_view keyTextUtf8, std::string_view text, std::uint32_t options, Buffer& marked) noexcept
{
    SealedHeader header;
    if (const Status status = NewSealedHeader(BytesOf(keyTextUtf8), header); status != Status::Ok)
        return status;
    return SealText(keyTextUtf8, text, header, options, marked);
}

Status OpenText(std::string_view keyTextUtf8, std::string_view marked, Buffer& plaintext) noexcept
{
    TextType type = TextType::Sealed;
    Buffer message;
    if (const Status status = UnmarkBytes(marked.data(), marked.size(), READ_SEALED, type, message);
        status != Status::Ok)
        return status;
    return OpenBytes(BytesOf(keyTextUtf8), message, plaintext);
}

Status ReadSealedText(std::string_view text, SealedHeader& header, std::uint64_t& chunks) noexcept
{
    TextType type = TextType::Sealed;
    Buffer message;
    if (const Status status = UnmarkBytes(text.data(), text.size(), READ_SEALED, type, message); status != Status::Ok)
        return status;
    if (message.size() < SEALED_HEADER_SIZE)
        return Status::BadHeader;
    const std::span<const std::uint8_t, SEALED_HEADER_SIZE> headerBytes(message.data(), SEALED_HEADER_SIZE);
    if (const Status status = LoadSealedHeader(headerBytes, header); status != Status::Ok)
        return status;
    return SealedChunkCount(message.size(), chunks);
}

}  // namespace zarnocrypt
