#include "envelope_stream.h"

#include <algorithm>
#include <cstring>

namespace zarnocrypt {

Status ReadFull(ByteSource& source, std::uint8_t* into, std::size_t want, std::size_t& got) noexcept
{
    got = 0;
    for (std::size_t piece = 1; got < want && piece != 0; got += piece) {
        if (const Status status = source.Read(into + got, want - got, piece); status != Status::Ok)
            return status;
    }
    return Status::Ok;
}

namespace {

// The work buffer held plaintext: it is wiped however the call ends.
class WipeOnReturn {
public:
    explicit WipeOnReturn(std::span<std::uint8_t> work) noexcept : work_(work) {}
    WipeOnReturn(const WipeOnReturn&) = delete;
    WipeOnReturn& operator=(const WipeOnReturn&) = delete;
    ~WipeOnReturn() { SecureWipe(work_.data(), work_.size()); }

private:
    std::span<std::uint8_t> work_;
};

// The source with its bytes counted, read in whole pieces.
class CountedSource {
public:
    explicit CountedSource(ByteSource& source) noexcept : source_(source) {}

    // want bytes, fewer only when the source ends.
    Status Fill(std::uint8_t* into, std::size_t want) noexcept
    {
        std::size_t got = 0;
        while (got < want && !ended_) {
            std::size_t read = 0;
            if (const Status status = source_.Read(into + got, want - got, read); status != Status::Ok)
                return status;
            ended_ = read == 0;
            got += read;
        }
        counted_ += got;
        return Status::Ok;
    }

    // Reads one byte more, counted and dropped, to learn whether the source has ended.
    Status Probe() noexcept
    {
        std::uint8_t extra = 0;
        const Status status = Fill(&extra, 1);
        SecureWipe(&extra, sizeof extra);
        return status;
    }

    bool Ended() const noexcept { return ended_; }
    // Neither at the end nor past the largest message: worth reading on.
    bool Reading() const noexcept { return !ended_ && counted_ <= ENVELOPE_MAX_SIZE; }
    std::uint64_t Counted() const noexcept { return counted_; }

private:
    ByteSource& source_;
    std::uint64_t counted_ = 0;
    bool ended_ = false;
};

std::size_t PieceSize(const RijndaelKey& key, std::span<std::uint8_t> work) noexcept
{
    const std::size_t blockSize = 4 * static_cast<std::size_t>(key.Nb());
    return work.size() / blockSize * blockSize;
}

// The encrypted area after the header, its first byte already in work, to
// sink. Stops when the source ends or passes the largest message; magic
// tells whether the magic came out.
Status OpenStreamedArea(const CipherImplementation& cipher, const RijndaelKey& key, const EnvelopeHeader& header,
                        CountedSource& message, ByteSink& sink, std::span<std::uint8_t> work, bool& magic) noexcept
{
    const std::size_t blockSize = 4 * static_cast<std::size_t>(key.Nb());
    const std::size_t piece = PieceSize(key, work);
    const std::uint64_t areaSize = EnvelopeAreaSize(key.Nb(), header.length);
    std::uint64_t rest = areaSize;
    std::size_t filled = 1;
    // The magic lies within the last two blocks, which stay for the final piece.
    while (rest > piece) {
        const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(piece, rest - 2 * blockSize));
        if (const Status status = message.Fill(work.data() + filled, take - filled); status != Status::Ok)
            return status;
        if (!message.Reading())
            return Status::Ok;
        filled = 0;
        cipher.decrypt(key, work.data(), work.data(), take / blockSize);
        if (const Status status = sink.Write(work.data(), take); status != Status::Ok)
            return status;
        rest -= take;
    }

    const std::size_t last = static_cast<std::size_t>(rest);
    if (const Status status = message.Fill(work.data() + filled, last - filled); status != Status::Ok)
        return status;
    if (message.Ended())
        return Status::Ok;
    const std::size_t plain = static_cast<std::size_t>(header.length - (areaSize - rest));
    OpenArea(cipher, key, work.data(), work.data(), plain + ENVELOPE_MAGIC_SIZE);
    magic = std::memcmp(work.data() + plain, ENVELOPE_MAGIC, ENVELOPE_MAGIC_SIZE) == 0;
    return sink.Write(work.data(), plain);
}

// The size-dependent checks on the bytes the message turned out to have.
Status CheckObservedSize(const EnvelopeHeader& header, const RijndaelKey& key, std::uint64_t size,
                         std::uint64_t observed) noexcept
{
    if (size != ENVELOPE_SIZE_UNKNOWN && observed != size)
        return Status::Size;
    if (const Status status = CheckMessageSize(observed); status != Status::Ok)
        return status;
    return CheckEnvelopeBody(header, key, observed);
}

}  // namespace

Status EncryptEnvelopeStream(const RijndaelKey& key, std::uint64_t length, ByteSource& source, ByteSink& sink,
                             std::span<std::uint8_t> work, const CipherImplementation& cipher) noexcept
{
    const WipeOnReturn wipe(work);
    std::size_t size = 0;
    const std::size_t fitting = length > SIZE_MAX ? SIZE_MAX : static_cast<std::size_t>(length);
    if (const Status status = EnvelopeSize(key, fitting, size); status != Status::Ok)
        return status;
    if (work.size() < ENVELOPE_STREAM_MIN_WORK)
        return Status::NoMemory;

    std::uint8_t header[ENVELOPE_HEADER_SIZE];
    WriteEnvelopeHeader(key, length, header);
    if (const Status status = sink.Write(header, sizeof header); status != Status::Ok)
        return status;

    const std::size_t blockSize = 4 * static_cast<std::size_t>(key.Nb());
    const std::size_t piece = PieceSize(key, work);
    CountedSource data(source);
    std::size_t rest = fitting;
    // Whole blocks straight through, until the rest's area fits in one piece.
    while (EnvelopeAreaSize(key.Nb(), rest) > piece) {
        const std::size_t take = std::min(piece, rest / blockSize * blockSize);
        if (const Status status = data.Fill(work.data(), take); status != Status::Ok)
            return status;
        if (data.Ended())
            return Status::Size;
        cipher.encrypt(key, work.data(), work.data(), take / blockSize);
        if (const Status status = sink.Write(work.data(), take); status != Status::Ok)
            return status;
        rest -= take;
    }

    if (const Status status = data.Fill(work.data(), rest); status != Status::Ok)
        return status;
    if (!data.Ended()) {
        if (const Status status = data.Probe(); status != Status::Ok)
            return status;
    }
    if (data.Counted() != length)
        return Status::Size;
    const std::size_t area = static_cast<std::size_t>(EnvelopeAreaSize(key.Nb(), rest));
    SealArea(cipher, key, work.data(), rest, work.data(), area);
    return sink.Write(work.data(), area);
}

Status DecryptEnvelopeStream(RijndaelKey& key, ByteSource& source, ByteSink& sink, std::span<std::uint8_t> work,
                             std::uint64_t size, const CipherImplementation& cipher) noexcept
{
    const WipeOnReturn wipe(work);
    if (size != ENVELOPE_SIZE_UNKNOWN) {
        if (const Status status = CheckMessageSize(size); status != Status::Ok)
            return status;
    }
    if (work.size() < ENVELOPE_STREAM_MIN_WORK)
        return Status::NoMemory;

    // A message has more than its header: the first byte after it comes along.
    CountedSource message(source);
    std::uint8_t headerBytes[ENVELOPE_HEADER_SIZE];
    if (const Status status = message.Fill(headerBytes, sizeof headerBytes); status != Status::Ok)
        return status;
    if (const Status status = message.Fill(work.data(), 1); status != Status::Ok)
        return status;
    if (message.Ended())
        return size == ENVELOPE_SIZE_UNKNOWN ? Status::BadHeader : Status::Size;

    EnvelopeHeader header;
    if (const Status status = OpenEnvelopeHeader(key, headerBytes, header); status != Status::Ok)
        return status;
    if (size != ENVELOPE_SIZE_UNKNOWN) {
        if (const Status status = CheckEnvelopeBody(header, key, size); status != Status::Ok)
            return status;
    }

    bool magic = false;
    if (const Status status = OpenStreamedArea(cipher, key, header, message, sink, work, magic);
        status != Status::Ok)
        return status;
    if (message.Reading() && header.hasAppendix) {
        std::uint8_t appendix[ENVELOPE_APPENDIX_SIZE];
        if (const Status status = message.Fill(appendix, sizeof appendix); status != Status::Ok)
            return status;
    }
    // One byte more than the header's size is enough to refuse it.
    if (message.Reading()) {
        if (const Status status = message.Probe(); status != Status::Ok)
            return status;
    }
    if (const Status status = CheckObservedSize(header, key, size, message.Counted()); status != Status::Ok)
        return status;
    return magic ? Status::Ok : Status::Magic;
}

}  // namespace zarnocrypt
