#include "sealed_message.h"

#include <algorithm>
#include <array>

#include "master_key_cache.h"
#include "sealed_stream.h"

namespace zarnocrypt {
namespace {

class SpanSource final : public ByteSource {
public:
    explicit SpanSource(std::span<const std::uint8_t> bytes) noexcept : bytes_(bytes) {}

    Status Read(std::uint8_t* into, std::size_t want, std::size_t& got) noexcept override
    {
        got = std::min(want, bytes_.size());
        std::copy_n(bytes_.begin(), got, into);
        bytes_ = bytes_.subspan(got);
        return Status::Ok;
    }

private:
    std::span<const std::uint8_t> bytes_;
};

// Writes into room sized beforehand; more than fits is Io, never an overrun.
class SpanSink final : public ByteSink {
public:
    explicit SpanSink(std::span<std::uint8_t> room) noexcept : room_(room) {}

    Status Write(const std::uint8_t* data, std::size_t size) noexcept override
    {
        if (size > room_.size() - used_)
            return Status::Io;
        std::copy_n(data, size, room_.begin() + used_);
        used_ += size;
        return Status::Ok;
    }
    std::size_t Used() const noexcept { return used_; }

private:
    std::span<std::uint8_t> room_;
    std::size_t used_ = 0;
};

// The master key of one call, wiped however the call ends.
struct MasterKey {
    MasterKey() = default;
    MasterKey(const MasterKey&) = delete;
    MasterKey& operator=(const MasterKey&) = delete;
    ~MasterKey() { SecureWipe(bytes.data(), bytes.size()); }

    std::array<std::uint8_t, SEALED_KEY_SIZE> bytes{};
};

// One direction of the chunk stream from input into room bytes, with a NUL
// after what it wrote; out is set only on Ok.
Status Stream(bool sealing, std::span<const std::uint8_t> keyTextUtf8, const SealedHeader& header,
              std::span<const std::uint8_t> input, std::size_t room, Buffer& out) noexcept
{
    MasterKey key;
    if (const Status status = CachedMasterKey(keyTextUtf8, header, key.bytes); status != Status::Ok)
        return status;
    Buffer buffer = Buffer::AllocateForOverwrite(room + 1);
    if (!buffer)
        return Status::NoMemory;
    SpanSource source(input);
    SpanSink sink(std::span(buffer.data(), room));
    if (const Status status = sealing ? EncryptSealedStream(key.bytes, header, source, sink)
                                      : DecryptSealedStream(key.bytes, header, source, sink);
        status != Status::Ok)
        return status;
    buffer.data()[sink.Used()] = 0;
    buffer.Shrink(sink.Used());
    out = std::move(buffer);
    return Status::Ok;
}

}  // namespace

Status SealedChunkCount(std::uint64_t size, std::uint64_t& chunks) noexcept
{
    constexpr std::uint64_t sealedChunk = SEALED_CHUNK_SIZE + SEALED_TAG_SIZE;
    if (size < SEALED_HEADER_SIZE + SEALED_TAG_SIZE)
        return Status::BadHeader;
    const std::uint64_t payload = size - SEALED_HEADER_SIZE;
    if (payload % sealedChunk != 0 && payload % sealedChunk < SEALED_TAG_SIZE)
        return Status::Size;
    chunks = (payload - 1) / sealedChunk + 1;
    return Status::Ok;
}

Status PrefixedSource::Read(std::uint8_t* into, std::size_t want, std::size_t& got) noexcept
{
    if (prefix_.empty())
        return rest_.Read(into, want, got);
    got = std::min(want, prefix_.size());
    std::copy_n(prefix_.begin(), got, into);
    prefix_ = prefix_.subspan(got);
    return Status::Ok;
}

bool StartsSealedMessage(std::span<const std::uint8_t> bytes) noexcept
{
    constexpr std::uint8_t magic[] = {'Z', 'Q', 'V', '2'};
    return bytes.size() >= sizeof magic && std::equal(magic, magic + sizeof magic, bytes.begin());
}

Status SealBytes(std::span<const std::uint8_t> keyTextUtf8, std::span<const std::uint8_t> plaintext,
                 const SealedHeader& header, Buffer& message) noexcept
{
    if (plaintext.size() > SIZE_MAX / 2)
        return Status::TooLarge;
    const std::size_t chunks = plaintext.empty() ? 1 : (plaintext.size() - 1) / SEALED_CHUNK_SIZE + 1;
    const std::size_t size = SEALED_HEADER_SIZE + plaintext.size() + chunks * SEALED_TAG_SIZE;
    return Stream(true, keyTextUtf8, header, plaintext, size, message);
}

Status SealBytes(std::span<const std::uint8_t> keyTextUtf8, std::span<const std::uint8_t> plaintext,
                 Buffer& message) noexcept
{
    SealedHeader header;
    if (const Status status = NewSealedHeader(keyTextUtf8, header); status != Status::Ok)
        return status;
    return SealBytes(keyTextUtf8, plaintext, header, message);
}

Status OpenBytes(std::span<const std::uint8_t> keyTextUtf8, std::span<const std::uint8_t> message,
                 Buffer& plaintext) noexcept
{
    SealedHeader header;
    if (message.size() < SEALED_HEADER_SIZE)
        return Status::BadHeader;
    if (const Status status = LoadSealedHeader(message.first<SEALED_HEADER_SIZE>(), header); status != Status::Ok)
        return status;
    // The plaintext is shorter than the chunks that carry it.
    const std::span<const std::uint8_t> chunks = message.subspan(SEALED_HEADER_SIZE);
    return Stream(false, keyTextUtf8, header, chunks, chunks.size(), plaintext);
}

Status SealStream(std::span<const std::uint8_t> keyTextUtf8, ByteSource& source, ByteSink& sink) noexcept
{
    SealedHeader header;
    MasterKey key;
    Status status = NewSealedHeader(keyTextUtf8, header);
    if (status == Status::Ok)
        status = CachedMasterKey(keyTextUtf8, header, key.bytes);
    return status == Status::Ok ? EncryptSealedStream(key.bytes, header, source, sink) : status;
}

Status OpenSealedStream(std::span<const std::uint8_t> keyTextUtf8, ByteSource& source, ByteSink& sink) noexcept
{
    SealedHeaderBytes bytes{};
    std::size_t got = 0;
    if (const Status status = ReadFull(source, bytes.data(), bytes.size(), got); status != Status::Ok)
        return status;
    SealedHeader header;
    if (got < bytes.size() || LoadSealedHeader(bytes, header) != Status::Ok)
        return Status::BadHeader;
    MasterKey key;
    if (const Status status = CachedMasterKey(keyTextUtf8, header, key.bytes); status != Status::Ok)
        return status;
    return DecryptSealedStream(key.bytes, header, source, sink);
}

}  // namespace zarnocrypt
