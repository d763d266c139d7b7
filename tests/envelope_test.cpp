// The envelope: header, sizes, the magic, every refusal and the block-length switch.
#include <gtest/gtest.h>

#include "byte_order.h"
#include "envelope.h"
#include "hex.h"
#include "rijndael_state.h"
#include "status.h"

namespace zarnocrypt {
namespace {

using namespace test;

constexpr std::int32_t UNTOUCHED = -7;

Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes WithMagic(Bytes data)
{
    data.insert(data.end(), {'Z', 'q', 'v'});
    return data;
}

void SetKey(RijndaelKey& key, const std::string& text, std::int32_t nb = 6)
{
    key.SetKeyText(text.c_str());
    ASSERT_EQ(key.BuildSchedule(nb), STATUS_OK);
}

Bytes Encrypt(RijndaelKey& key, const Bytes& data)
{
    EnvelopeCodec codec;
    codec.BindKey(key);
    const std::uint8_t dummy = 0;
    return ToBytes(codec.EncryptEnvelope(data.empty() ? &dummy : data.data(), static_cast<std::int32_t>(data.size())));
}

struct Decrypted {
    bool ok;
    Bytes bytes;
    std::int32_t length;  // UNTOUCHED unless the message reached the magic check
};

Decrypted Decrypt(RijndaelKey& key, const Bytes& message)
{
    EnvelopeCodec codec;
    codec.BindKey(key);
    std::int32_t length = UNTOUCHED;
    Buffer result = codec.DecryptEnvelope(message.data(), static_cast<std::int32_t>(message.size()), length);
    return {static_cast<bool>(result), ToBytes(result), length};
}

class Envelope : public ::testing::Test {
protected:
    void SetUp() override { SetKey(key_, "envelope test key"); }
    RijndaelKey key_;
};

TEST_F(Envelope, SizesAndHeaderFollowTheBlockCount)
{
    const std::pair<std::size_t, std::size_t> cases[] = {
        {0, 32}, {1, 32}, {21, 32}, {22, 56}, {45, 56}, {46, 80}, {69, 80}, {70, 104}};
    for (auto [length, size] : cases) {
        const Bytes envelope = Encrypt(key_, Bytes(length, 0xAB));
        ASSERT_EQ(envelope.size(), size) << length;
        EXPECT_EQ(LoadBigEndian32(envelope.data()), length);
        EXPECT_EQ(Bytes(envelope.begin() + 4, envelope.begin() + 8), (Bytes{6, 4, 0, KeyFingerprint(key_)}));
    }
}

// Blocks decrypted by hand show data, "Zqv" and zero fill, the magic
// straddling the block boundary at L = 22; equal blocks give equal cipher blocks.
TEST_F(Envelope, PlaintextAreaHoldsDataMagicAndZeroFill)
{
    for (std::size_t length : {0u, 21u, 22u, 23u, 47u}) {
        Bytes data(length);
        for (std::size_t i = 0; i < length; ++i)
            data[i] = static_cast<std::uint8_t>(i + 1);
        Bytes envelope = Encrypt(key_, data);
        RijndaelState state;
        state.SetBlockLength(6);
        ASSERT_EQ(state.AttachKey(key_), STATUS_OK);
        for (std::size_t offset = 8; offset < envelope.size(); offset += 24) {
            state.SetBlock(envelope.data() + offset);
            state.DecryptBlock();
        }
        Bytes expected = WithMagic(data);
        expected.resize(envelope.size() - 8, 0);
        EXPECT_EQ(Bytes(envelope.begin() + 8, envelope.end()), expected) << length;
    }
    const Bytes envelope = Encrypt(key_, Bytes(48, 'x'));
    EXPECT_TRUE(std::equal(envelope.begin() + 8, envelope.begin() + 32, envelope.begin() + 32));
}

TEST_F(Envelope, RoundTripsEveryLengthUnderEveryKeyLength)
{
    for (const std::string& keyText : {std::string("short"), std::string(24, 'm'), std::string(40, 'l')}) {
        RijndaelKey key;
        SetKey(key, keyText);
        for (std::size_t length = 0; length <= 100; ++length) {
            Bytes data(length);
            for (std::size_t i = 0; i < length; ++i)
                data[i] = static_cast<std::uint8_t>(i * 37 + length);
            const Decrypted result = Decrypt(key, Encrypt(key, data));
            ASSERT_TRUE(result.ok) << length;
            EXPECT_EQ(result.length, static_cast<std::int32_t>(length));
            EXPECT_EQ(result.bytes, WithMagic(data));
        }
    }
}

// Writing into a caller's buffer gives the same envelope whatever the buffer
// held before, and refuses any other size.
TEST_F(Envelope, EncryptingIntoABufferMatchesTheAllocatingForm)
{
    EnvelopeCodec codec;
    codec.BindKey(key_);
    for (std::int32_t length : {0, 21, 22, 100}) {
        const Bytes data(static_cast<std::size_t>(length) + 1, 0x3C);  // never a null pointer
        const std::size_t size = codec.EnvelopeSize(length);
        Bytes buffer(size, 0xEE);
        ASSERT_TRUE(codec.EncryptEnvelopeInto(data.data(), length, buffer.data(), size)) << length;
        EXPECT_EQ(buffer, Encrypt(key_, Bytes(data.begin(), data.end() - 1))) << length;
        EXPECT_FALSE(codec.EncryptEnvelopeInto(data.data(), length, buffer.data(), size + 1));
        EXPECT_FALSE(codec.EncryptEnvelopeInto(data.data(), length, buffer.data(), size - 1));
    }
    EXPECT_EQ(codec.EnvelopeSize(-1), 0u);
    EXPECT_EQ(codec.EnvelopeSize(0x7FFFFFFF), 8u + 24u * 89478486u);
    RijndaelKey unscheduled;
    unscheduled.SetKeyText("k");
    codec.BindKey(unscheduled);
    EXPECT_EQ(codec.EnvelopeSize(3), 0u);
}

TEST(KeyFingerprint, TakesTheDiagonalBitsOfTheFirstEightKeyBytes)
{
    const std::pair<const char*, std::uint8_t> cases[] = {
        {"8040201008040201ffffffffffffffff", 0xFF}, {"7fbfdfeff7fbfdfe0000000000000000", 0x00},
        {"80000000000000010000000000000000", 0x81}, {"ffffffffffffffff0000000000000000", 0xFF},
        {"00000000000000000000000000000000", 0x00},
    };
    for (auto [keyHex, fingerprint] : cases) {
        const Bytes raw = FromHex(keyHex);
        RijndaelKey key;
        key.SetKeyBytes(raw.data(), static_cast<std::int32_t>(raw.size()));
        EXPECT_EQ(KeyFingerprint(key), fingerprint) << keyHex;
    }
    // Key bytes 01 64 86 68 98 16 d4 a4 ...: bits 6, 3 and 2 come from pad bytes.
    RijndaelKey padded;
    padded.SetKeyText("\x01");
    EXPECT_EQ(KeyFingerprint(padded), 0x4C);
}

TEST_F(Envelope, RefusesMissingOrTinyMessagesAndMissingKeys)
{
    const Bytes good = Encrypt(key_, TextBytes("abc"));
    EnvelopeCodec unbound;
    std::int32_t length = UNTOUCHED;
    EXPECT_FALSE(unbound.DecryptEnvelope(good.data(), 32, length));
    EXPECT_FALSE(unbound.EncryptEnvelope(good.data(), 3));
    EnvelopeCodec codec;
    codec.BindKey(key_);
    for (std::int32_t size : {-1, 0, 1, 8})
        EXPECT_FALSE(codec.DecryptEnvelope(good.data(), size, length)) << size;
    EXPECT_FALSE(codec.DecryptEnvelope(nullptr, 32, length));
    EXPECT_FALSE(codec.EncryptEnvelope(nullptr, 0));
    EXPECT_FALSE(codec.EncryptEnvelope(good.data(), -1));
    EXPECT_EQ(length, UNTOUCHED);

    RijndaelKey empty;
    EXPECT_FALSE(Decrypt(empty, good).ok);
    RijndaelKey unscheduled;
    unscheduled.SetKeyText("envelope test key");
    EnvelopeCodec noSchedule;
    noSchedule.BindKey(unscheduled);
    EXPECT_FALSE(noSchedule.EncryptEnvelope(good.data(), 3));
    // Decryption needs only key bytes: it schedules the key itself.
    EXPECT_EQ(Decrypt(unscheduled, good).length, 3);
    EXPECT_EQ(unscheduled.Nb(), 6);
}

TEST_F(Envelope, OtherKeysAreRefusedByFingerprintKeyLengthOrMagic)
{
    const Bytes message = Encrypt(key_, TextBytes("abc"));
    RijndaelKey otherFingerprint, longer, sameFingerprint;
    SetKey(otherFingerprint, "\x7f\xbf\xdf\xef\xf7\xfb\xfd\xfe");
    ASSERT_NE(KeyFingerprint(otherFingerprint), KeyFingerprint(key_));
    EXPECT_EQ(Decrypt(otherFingerprint, message).length, UNTOUCHED);

    // Same first 16 bytes, so the same fingerprint, but a 192-bit key.
    SetKey(longer, "envelope test key" + std::string(10, '!'));
    ASSERT_EQ(KeyFingerprint(longer), KeyFingerprint(key_));
    EXPECT_FALSE(Decrypt(longer, message).ok);
    EXPECT_EQ(Decrypt(longer, message).length, UNTOUCHED);

    // Same first eight bytes and length: only the magic tells.
    SetKey(sameFingerprint, "envelopa");
    ASSERT_EQ(KeyFingerprint(sameFingerprint), KeyFingerprint(key_));
    EXPECT_FALSE(Decrypt(sameFingerprint, message).ok);
    EXPECT_EQ(Decrypt(sameFingerprint, message).length, 0);
}

TEST_F(Envelope, AppendixFlagFourMeansFourExtraBytes)
{
    Bytes message = Encrypt(key_, TextBytes("appendix"));
    message[6] = 4;
    EXPECT_FALSE(Decrypt(key_, message).ok);
    message.insert(message.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    EXPECT_EQ(Decrypt(key_, message).length, 8);

    for (std::uint8_t flag : {1, 2, 3, 5, 255}) {
        Bytes other = Encrypt(key_, TextBytes("appendix"));
        other[6] = flag;
        EXPECT_EQ(Decrypt(key_, other).length, 8) << int{flag};
        other.insert(other.end(), 4, 0);
        EXPECT_FALSE(Decrypt(key_, other).ok) << int{flag};
    }
}

TEST_F(Envelope, SizeCheckCatchesChangedSizesAndLengthFields)
{
    const Bytes message = Encrypt(key_, TextBytes("ten bytes!"));
    Bytes longer = message, shorter = message;
    longer.push_back(0);
    shorter.pop_back();
    EXPECT_EQ(Decrypt(key_, longer).length, UNTOUCHED);
    EXPECT_EQ(Decrypt(key_, shorter).length, UNTOUCHED);
    // Reported length UNTOUCHED: refused by the size check; 0: by the magic check.
    const std::pair<std::uint32_t, std::int32_t> cases[] = {
        {11, 0}, {0, 0}, {21, 0}, {22, UNTOUCHED}, {0x7FFFFFFF, UNTOUCHED},
        {0x80000000, UNTOUCHED}, {0x80000001, UNTOUCHED}, {0xFFFFFFFF, UNTOUCHED}};
    for (auto [length, reported] : cases) {
        Bytes changed = message;
        StoreBigEndian32(changed.data(), length);
        const Decrypted result = Decrypt(key_, changed);
        EXPECT_FALSE(result.ok) << length;
        EXPECT_EQ(result.length, reported) << length;
    }
}

TEST_F(Envelope, ChangedBlockWithoutTheMagicGoesUnnoticedAndFailuresLeaveTheKeyUsable)
{
    Bytes message = Encrypt(key_, Bytes(40, 'p'));
    message[8] ^= 0x01;
    const Decrypted result = Decrypt(key_, message);
    ASSERT_TRUE(result.ok);
    EXPECT_NE(Bytes(result.bytes.begin(), result.bytes.begin() + 24), Bytes(24, 'p'));
    EXPECT_EQ(Bytes(result.bytes.begin() + 24, result.bytes.begin() + 40), Bytes(16, 'p'));

    message = Encrypt(key_, TextBytes("still usable"));
    Bytes broken = message;
    broken[20] ^= 0xFF;
    broken.pop_back();
    EXPECT_FALSE(Decrypt(key_, broken).ok);
    EXPECT_EQ(Decrypt(key_, message).length, 12);
}

TEST_F(Envelope, OtherBlockLengthsDecryptAndStayInTheKey)
{
    for (std::int32_t nb : {4, 8}) {
        RijndaelKey maker, receiver;
        SetKey(maker, "block length switch", nb);
        SetKey(receiver, "block length switch");
        const Bytes message = Encrypt(maker, TextBytes("switch"));
        ASSERT_EQ(message[4], nb);
        ASSERT_EQ(message.size(), 8u + 4u * static_cast<unsigned>(nb));

        EXPECT_EQ(Decrypt(receiver, message).length, 6);
        EXPECT_EQ(receiver.Nb(), nb);
        const Bytes next = Encrypt(receiver, TextBytes("next"));
        EXPECT_EQ(next[4], nb);
        EXPECT_EQ(Decrypt(maker, next).length, 4);

        SetKey(receiver, "block length switch");
        EXPECT_EQ(Encrypt(receiver, TextBytes("again"))[4], 6);
    }
    // The switch happens even when the size check then fails.
    Bytes message = Encrypt(key_, TextBytes("abc"));
    message[4] = 8;
    EXPECT_EQ(Decrypt(key_, message).length, UNTOUCHED);
    EXPECT_EQ(key_.Nb(), 8);
}

TEST_F(Envelope, UnknownBlockLengthsAreRefusedBeforeTheKeyChanges)
{
    for (std::uint8_t nb : {0, 1, 3, 5, 7, 9, 12, 255}) {
        Bytes message = Encrypt(key_, TextBytes("abc"));
        message[4] = nb;
        EXPECT_FALSE(Decrypt(key_, message).ok) << int{nb};
        EXPECT_EQ(key_.Nb(), 6);
    }
}

}  // namespace
}  // namespace zarnocrypt
