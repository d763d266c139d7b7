// Every cipher path the processor offers against the byte-oriented reference:
// all (Nk, Nb) cells, block counts around every unit and group boundary,
// unaligned buffers, and no byte written past the last block.
#include <gtest/gtest.h>

#include "cipher_path.h"
#include "envelope.h"
#include "hex.h"
#include "rijndael_key.h"
#include "rijndael_state.h"
#include "status.h"

namespace zarnocrypt {
namespace {

using namespace test;

constexpr std::size_t GUARD = 64;
constexpr std::uint8_t GUARD_BYTE = 0xA5;

// Single blocks, partial and whole units (up to 4 blocks), pairs of units,
// groups of 16 units, and beyond.
const std::size_t BLOCK_COUNTS[] = {1, 2, 3, 4, 5, 7, 8, 9, 11, 12, 15, 16, 17, 31, 32, 33,
                                    63, 64, 65, 71, 72, 73, 100, 257};

Bytes Reference(const RijndaelKey& key, Bytes blocks, bool decrypt)
{
    RijndaelState state;
    state.SetBlockLength(key.Nb());
    state.AttachKey(key);
    for (std::size_t at = 0; at < blocks.size(); at += 4 * key.Nb()) {
        state.SetBlock(blocks.data() + at);
        decrypt ? state.DecryptBlock() : state.EncryptBlock();
    }
    return blocks;
}

// The path's result on blocks placed at offset in a larger buffer, whose
// bytes after the blocks must stay untouched.
Bytes OnPath(const RijndaelKey& key, const Bytes& blocks, bool decrypt, std::size_t offset)
{
    Bytes buffer(offset + blocks.size() + GUARD, GUARD_BYTE);
    std::copy(blocks.begin(), blocks.end(), buffer.begin() + static_cast<std::ptrdiff_t>(offset));
    RijndaelState state;
    state.SetBlockLength(key.Nb());
    EXPECT_EQ(state.AttachKey(key), STATUS_OK);
    std::uint8_t* at = buffer.data() + offset;
    decrypt ? state.DecryptBlocks(at, blocks.size() / (4 * key.Nb()))
            : state.EncryptBlocks(at, blocks.size() / (4 * key.Nb()));
    for (std::size_t i = offset + blocks.size(); i < buffer.size(); ++i)
        EXPECT_EQ(buffer[i], GUARD_BYTE) << "written past the blocks at " << i;
    return Bytes(at, at + blocks.size());
}

class CipherPaths : public ::testing::TestWithParam<CipherPath> {
protected:
    void SetUp() override
    {
        if (const char* missing = CipherPathMissing(GetParam()))
            GTEST_SKIP() << CipherPathName(GetParam()) << " not available here: " << missing;
        ASSERT_TRUE(SetCipherPath(GetParam()));
    }
    void TearDown() override { ResetCipherPath(); }
};

TEST_P(CipherPaths, MatchReferenceOnEveryCellAndLength)
{
    std::mt19937 random(20240611);
    RijndaelKey key;  // rescheduled for each cell, as envelopes do
    for (const int nk : {4, 6, 8}) {
        for (const int nb : {4, 6, 8}) {
            SCOPED_TRACE(testing::Message() << "Nk " << nk << ", Nb " << nb);
            const Bytes raw = RandomBytes(random, 4 * nk);
            ASSERT_EQ(key.SetKeyLength(32 * nk), STATUS_OK);
            ASSERT_EQ(key.SetKeyBytes(raw.data(), static_cast<std::int32_t>(raw.size())), STATUS_OK);
            ASSERT_EQ(key.BuildSchedule(nb), STATUS_OK);
            for (const std::size_t count : BLOCK_COUNTS) {
                SCOPED_TRACE(testing::Message() << count << " blocks");
                const Bytes plain = RandomBytes(random, count * 4 * nb);
                const std::size_t offset = count % 5;
                const Bytes cipher = OnPath(key, plain, false, offset);
                ASSERT_EQ(cipher, Reference(key, plain, false));
                ASSERT_EQ(OnPath(key, cipher, true, offset), plain);
                const Bytes other = RandomBytes(random, plain.size());
                ASSERT_EQ(OnPath(key, other, true, offset), Reference(key, other, true));
            }
        }
    }
}

TEST_P(CipherPaths, EnvelopesEqualTheReferencePathsAndRoundTrip)
{
    RijndaelKey key;
    key.SetKeyText("a key text of exactly 32 bytes!!");
    ASSERT_EQ(key.BuildSchedule(6), STATUS_OK);
    std::mt19937 random(7);
    for (const std::int32_t length : {0, 21, 22, 1000, 70000}) {
        const Bytes data = RandomBytes(random, static_cast<std::size_t>(length) + 1);
        EnvelopeCodec codec;
        codec.BindKey(key);
        const Buffer envelope = codec.EncryptEnvelope(data.data(), length);
        ASSERT_TRUE(envelope);
        std::int32_t decryptedLength = -1;
        const Buffer plain = codec.DecryptEnvelope(envelope.data(), static_cast<std::int32_t>(envelope.size()),
                                                   decryptedLength);
        ASSERT_TRUE(plain);
        ASSERT_EQ(decryptedLength, length);
        EXPECT_TRUE(std::equal(data.begin(), data.begin() + length, plain.begin()));

        ASSERT_TRUE(SetCipherPath(CipherPath::Reference));
        const Buffer expected = codec.EncryptEnvelope(data.data(), length);
        ASSERT_TRUE(SetCipherPath(GetParam()));
        EXPECT_TRUE(std::equal(envelope.begin(), envelope.end(), expected.begin(), expected.end()));
    }
}

INSTANTIATE_TEST_SUITE_P(AllPaths, CipherPaths, ::testing::ValuesIn(ALL_CIPHER_PATHS),
                         [](const testing::TestParamInfo<CipherPath>& param) {
                             std::string name = CipherPathName(param.param);
                             std::erase(name, '-');
                             return name;
                         });

TEST(CipherPathChoice, FastestAvailableByDefaultAndOnlyAvailableForced)
{
    ResetCipherPath();
    const CipherPath fastest = ActiveCipherPath();
    EXPECT_EQ(CipherPathMissing(fastest), nullptr);
    EXPECT_NE(fastest, CipherPath::Reference);
    for (const CipherPath path : ALL_CIPHER_PATHS) {
        const bool available = CipherPathMissing(path) == nullptr;
        EXPECT_EQ(SetCipherPath(path), available) << CipherPathName(path);
        EXPECT_EQ(ActiveCipherPath(), available ? path : fastest) << CipherPathName(path);
        ResetCipherPath();
        if (available && path > fastest)
            ADD_FAILURE() << CipherPathName(path) << " is available but " << CipherPathName(fastest) << " was chosen";
    }
    EXPECT_EQ(CipherPathMissing(CipherPath::Portable), nullptr);
}

}  // namespace
}  // namespace zarnocrypt
