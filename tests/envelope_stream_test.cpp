// The streamed envelope against the one-pass one: the same bytes and the same
// statuses, whatever the work buffer's size and however the source splits its reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "envelope_stream.h"
#include "key_text.h"

namespace zarnocrypt {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Source final : ByteSource {
    explicit Source(Bytes given) : bytes(std::move(given)) {}
    Bytes bytes;
    std::size_t at = 0, most = 7;  // short reads, as pipes give them
    Status Read(std::uint8_t* into, std::size_t want, std::size_t& got) noexcept override
    {
        got = std::min({want, most, bytes.size() - at});
        std::copy_n(bytes.begin() + at, got, into);
        at += got;
        return Status::Ok;
    }
};

struct Sink final : ByteSink {
    Bytes bytes;
    Status Write(const std::uint8_t* data, std::size_t size) noexcept override
    {
        bytes.insert(bytes.end(), data, data + size);
        return Status::Ok;
    }
};

void Key(RijndaelKey& key, std::int32_t nb = 6)
{
    ASSERT_EQ(LoadKeyText(key, "stream key", 10), Status::Ok);
    ASSERT_EQ(key.BuildSchedule(nb), Status::Ok);
}

Bytes Envelope(const RijndaelKey& key, const Bytes& data)
{
    Buffer envelope;
    EXPECT_EQ(EncryptEnvelope(key, data.data(), data.size(), envelope), Status::Ok);
    return Bytes(envelope.begin(), envelope.end());
}

Status Decrypt(const Bytes& message, std::uint64_t size, Bytes& plaintext, std::size_t workSize = 160)
{
    RijndaelKey key;
    Key(key);
    Source source(message);
    Sink sink;
    Bytes work(workSize, 0xEE);
    const Status status = DecryptEnvelopeStream(key, source, sink, work, size);
    EXPECT_TRUE(std::all_of(work.begin(), work.end(), [](auto b) { return b == 0; }));
    plaintext = sink.bytes;
    return status;
}

TEST(EnvelopeStream, SameBytesAsOnePassForAnyPieceSize)
{
    for (std::int32_t nb : {4, 6, 8})
        for (std::size_t length : {0, 1, 13, 21, 22, 45, 46, 119, 128, 1000})
            for (std::size_t workSize : {128, 131, 160, 4096}) {
                SCOPED_TRACE(testing::Message() << nb << " " << length << " " << workSize);
                RijndaelKey key;
                Key(key, nb);
                Bytes data(length);
                for (std::size_t i = 0; i < length; ++i)
                    data[i] = static_cast<std::uint8_t>(i * 7);
                Source source(data);
                Sink sink;
                Bytes work(workSize);
                ASSERT_EQ(EncryptEnvelopeStream(key, length, source, sink, work), Status::Ok);
                EXPECT_EQ(sink.bytes, Envelope(key, data));
                for (std::uint64_t size : {std::uint64_t{sink.bytes.size()}, ENVELOPE_SIZE_UNKNOWN}) {
                    Bytes plaintext;
                    EXPECT_EQ(Decrypt(sink.bytes, size, plaintext, workSize), Status::Ok);
                    EXPECT_EQ(plaintext, data);
                }
            }
}

// Each damage is refused by the check named, as DecryptEnvelope refuses it,
// with the size known or counted.
TEST(EnvelopeStream, DecryptFailsAsOnePass)
{
    struct Case {
        const char* name;
        std::size_t at;  // byte changed (xor 0xFF) unless past the end
        long resize;     // bytes added (0x00) or removed at the end
        Status expected;
    } const cases[] = {
        {"intact", 999, 0, Status::Ok},          {"header only", 999, -72, Status::BadHeader},
        {"block length", 4, 0, Status::BadHeader}, {"fingerprint", 7, 0, Status::Fingerprint},
        {"one byte short", 999, -1, Status::Size}, {"one byte long", 999, 1, Status::Size},
        {"key length", 5, 0, Status::KeyLength}, {"key length, size", 5, -24, Status::Size},
        {"magic", 79, 0, Status::Magic},         {"length beyond", 0, 0, Status::BadHeader},
        {"appendix", 6, 4, Status::Ok},          {"appendix missing", 6, 0, Status::Size},
        {"length huge", 1, 0, Status::Size},
    };
    RijndaelKey key;
    Key(key);
    const Bytes data(50, 'z');  // 80 bytes: the magic is in the last block
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes message = Envelope(key, data);
        if (c.at < message.size())
            message[c.at] ^= c.at == 6 ? 0x04 : c.at == 4 ? 0x03 : 0xFF;
        message.resize(message.size() + c.resize);
        RijndaelKey fresh;
        Key(fresh);
        Buffer expected;
        ASSERT_EQ(DecryptEnvelope(fresh, message.data(), message.size(), expected), c.expected);
        Bytes plaintext;
        EXPECT_EQ(Decrypt(message, message.size(), plaintext), c.expected);
        EXPECT_EQ(Decrypt(message, ENVELOPE_SIZE_UNKNOWN, plaintext), c.expected);
        EXPECT_TRUE(c.expected != Status::Ok || plaintext == data);
        EXPECT_LE(plaintext.size(), message.size()) << "a stream cut short is not read on past its end";
    }
}

TEST(EnvelopeStream, EncryptRefusals)
{
    RijndaelKey key, none;
    Key(key);
    Source source(Bytes(40));
    Sink sink;
    Bytes work(128), small(127);
    EXPECT_EQ(EncryptEnvelopeStream(none, 40, source, sink, work), Status::NoKey);
    EXPECT_EQ(EncryptEnvelopeStream(key, MaxPlaintextLength(6) + 1, source, sink, work), Status::TooLarge);
    EXPECT_EQ(EncryptEnvelopeStream(key, 40, source, sink, small), Status::NoMemory);
    EXPECT_TRUE(sink.bytes.empty());
    EXPECT_EQ(EncryptEnvelopeStream(key, 41, source, sink, work), Status::Size);
    source.at = 0;
    EXPECT_EQ(EncryptEnvelopeStream(key, 39, source, sink, work), Status::Size);
}

}  // namespace
}  // namespace zarnocrypt
