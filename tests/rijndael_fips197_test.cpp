// FIPS-197 Appendix C through the row-by-row state layout: for 128-bit blocks
// EncryptBlock(T(x)) = T(AES(x)), where T swaps byte 4r + c with byte r + 4c.
#include <gtest/gtest.h>

#include <vector>

#include "hex.h"
#include "rijndael_key.h"
#include "rijndael_state.h"
#include "status.h"

namespace zarnocrypt {
namespace {

using test::FromHex;
using test::ToHex;

std::vector<std::uint8_t> Transpose(const std::vector<std::uint8_t>& block)
{
    std::vector<std::uint8_t> out(16);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            out[4 * r + c] = block[r + 4 * c];
    return out;
}

struct Fips197Vector {
    const char* name;
    const char* key;
    const char* plaintext;
    const char* ciphertext;
};

// FIPS-197 Appendix C.1, C.2 and C.3.
const Fips197Vector VECTORS[] = {
    {"C.1 AES-128", "000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
     "69c4e0d86a7b0430d8cdb78070b4c55a"},
    {"C.2 AES-192", "000102030405060708090a0b0c0d0e0f1011121314151617",
     "00112233445566778899aabbccddeeff", "dda97ca4864cdfe06eaf70a0ec0d7191"},
    {"C.3 AES-256", "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
     "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
};

class Fips197 : public ::testing::TestWithParam<Fips197Vector> {
protected:
    void SetUp() override
    {
        const std::vector<std::uint8_t> raw = FromHex(GetParam().key);
        ASSERT_EQ(key_.SetKeyLength(static_cast<std::int32_t>(raw.size() * 8)), STATUS_OK);
        key_.SetKeyBytes(raw.data(), static_cast<std::int32_t>(raw.size()));
        ASSERT_EQ(key_.BuildSchedule(4), STATUS_OK);
        state_.SetBlockLength(4);
        ASSERT_EQ(state_.AttachKey(key_), STATUS_OK);
    }

    RijndaelKey key_;
    RijndaelState state_;
};

TEST_P(Fips197, EncryptsTheTransposedBlock)
{
    std::vector<std::uint8_t> block = Transpose(FromHex(GetParam().plaintext));
    state_.SetBlock(block.data());
    state_.EncryptBlock();
    EXPECT_EQ(ToHex(Transpose(block)), GetParam().ciphertext);
}

TEST_P(Fips197, DecryptsTheTransposedBlock)
{
    std::vector<std::uint8_t> block = Transpose(FromHex(GetParam().ciphertext));
    state_.SetBlock(block.data());
    state_.DecryptBlock();
    EXPECT_EQ(ToHex(Transpose(block)), GetParam().plaintext);
}

// The layout is part of the format: the untransposed block gives another result.
TEST_P(Fips197, UntransposedBlockDiffersFromAes)
{
    std::vector<std::uint8_t> block = FromHex(GetParam().plaintext);
    state_.SetBlock(block.data());
    state_.EncryptBlock();
    EXPECT_NE(ToHex(block), GetParam().ciphertext);
}

INSTANTIATE_TEST_SUITE_P(AppendixC, Fips197, ::testing::ValuesIn(VECTORS),
                         [](const auto& p) {
                             std::string name = p.param.name;
                             return "C" + std::string(1, name[2]);
                         });

TEST(RijndaelState, AttachKeyRefusesAnUnscheduledKeyAndKeepsThePreviousOne)
{
    RijndaelKey scheduled, unscheduled;
    scheduled.SetKeyText("k");
    ASSERT_EQ(scheduled.BuildSchedule(4), STATUS_OK);
    unscheduled.SetKeyText("k");

    RijndaelState state;
    ASSERT_EQ(state.AttachKey(scheduled), STATUS_OK);
    EXPECT_EQ(state.AttachKey(unscheduled), ERR_NO_KEY);
    EXPECT_EQ(state.AttachKey(RijndaelKey{}), ERR_NO_KEY);

    std::vector<std::uint8_t> block(16, 0x5A), expected = block;
    state.SetBlock(block.data());
    state.EncryptBlock();
    RijndaelState reference;
    reference.AttachKey(scheduled);
    reference.SetBlock(expected.data());
    reference.EncryptBlock();
    EXPECT_EQ(block, expected);
}

}  // namespace
}  // namespace zarnocrypt
