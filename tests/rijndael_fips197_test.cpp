// FIPS-197 known answers: field products and S-box entries (4.2, Figures 7
// and 14), key expansion (Appendix A.1), and Appendix C through the row-by-row
// state layout: for 128-bit blocks EncryptBlock(T(x)) = T(AES(x)), where T
// swaps byte 4r + c with byte r + 4c.
#include <gtest/gtest.h>

#include "hex.h"
#include "rijndael_key.h"
#include "rijndael_state.h"
#include "rijndael_tables.h"
#include "status.h"

namespace zarnocrypt {
namespace {

using namespace test;
using namespace tables;

TEST(RijndaelTables, FieldProductsAndSBoxEntries)
{
    EXPECT_EQ(Multiply(0x57, 0x83), 0xC1);
    EXPECT_EQ(Multiply(0x57, 0x13), 0xFE);
    // xtime chain of section 4.2.1: 57 → ae → 47 → 8e → 07.
    EXPECT_EQ(TIMES_2[0x57], 0xAE);
    EXPECT_EQ(TIMES_4[0x57], 0x47);
    EXPECT_EQ(TIMES_2[0x8E], 0x07);
    EXPECT_EQ(TIMES_9[0x57], Multiply(0x57, 0x09));
    EXPECT_EQ(S_BOX[0x00], 0x63);
    EXPECT_EQ(S_BOX[0x53], 0xED);
    EXPECT_EQ(S_BOX[0xFF], 0x16);
    EXPECT_EQ(INVERSE_S_BOX[0x00], 0x52);
    EXPECT_EQ(INVERSE_S_BOX[0x43], 0x64);
    EXPECT_EQ(INVERSE_S_BOX[0xFF], 0x7D);
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(INVERSE_S_BOX[S_BOX[b]], b);
        EXPECT_NE(S_BOX[b], b);
    }
}

TEST(KeySchedule, MatchesFips197AppendixA1ForTheAesColumns)
{
    const Bytes raw = FromHex("2b7e151628aed2a6abf7158809cf4f3c");
    RijndaelKey key;
    key.SetKeyLength(128);
    key.SetKeyBytes(raw.data(), 16);
    ASSERT_EQ(key.BuildSchedule(4), STATUS_OK);
    auto column = [&](int i) {
        std::string hex;
        for (int j = 0; j < 4; ++j)
            hex += ToHex(key.RoundKeyRow(i / 4, j) + i % 4, 1);
        return hex;
    };
    EXPECT_EQ(column(4), "a0fafe17");
    EXPECT_EQ(column(9), "7a96b943");
    EXPECT_EQ(column(43), "b6630ca6");
}

struct Fips197Vector {
    const char* name;
    const char* key;
    const char* ciphertext;
};

constexpr char PLAINTEXT[] = "00112233445566778899aabbccddeeff";

class Fips197 : public ::testing::TestWithParam<Fips197Vector> {};

TEST_P(Fips197, EncryptsAndDecryptsTheTransposedBlock)
{
    const Bytes raw = FromHex(GetParam().key);
    RijndaelKey key;
    ASSERT_EQ(key.SetKeyLength(static_cast<std::int32_t>(raw.size() * 8)), STATUS_OK);
    key.SetKeyBytes(raw.data(), static_cast<std::int32_t>(raw.size()));
    ASSERT_EQ(key.BuildSchedule(4), STATUS_OK);
    RijndaelState state;
    state.SetBlockLength(4);
    ASSERT_EQ(state.AttachKey(key), STATUS_OK);

    Bytes block = ColumnsToRows(FromHex(PLAINTEXT), 4);
    state.SetBlock(block.data());
    state.EncryptBlock();
    EXPECT_EQ(ToHex(RowsToColumns(block, 4)), GetParam().ciphertext);
    state.DecryptBlock();
    EXPECT_EQ(ToHex(RowsToColumns(block, 4)), PLAINTEXT);
    // The layout is part of the format: the untransposed block gives another result.
    block = FromHex(PLAINTEXT);
    state.SetBlock(block.data());
    state.EncryptBlock();
    EXPECT_NE(ToHex(block), GetParam().ciphertext);
}

INSTANTIATE_TEST_SUITE_P(
    AppendixC, Fips197,
    ::testing::Values(
        Fips197Vector{"C1", "000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
        Fips197Vector{"C2", "000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
        Fips197Vector{"C3", "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
                      "8ea2b7ca516745bfeafc49904b496089"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(RijndaelState, AttachKeyRefusesAnUnscheduledKeyAndKeepsThePreviousOne)
{
    RijndaelKey scheduled, unscheduled;
    scheduled.SetKeyText("k");
    ASSERT_EQ(scheduled.BuildSchedule(4), STATUS_OK);
    unscheduled.SetKeyText("k");
    RijndaelState state, reference;
    ASSERT_EQ(state.AttachKey(scheduled), STATUS_OK);
    EXPECT_EQ(state.AttachKey(unscheduled), ERR_NO_KEY);
    EXPECT_EQ(state.AttachKey(RijndaelKey{}), ERR_NO_KEY);

    Bytes block(16, 0x5A), expected = block;
    state.SetBlock(block.data());
    state.EncryptBlock();
    reference.AttachKey(scheduled);
    reference.SetBlock(expected.data());
    reference.EncryptBlock();
    EXPECT_EQ(block, expected);
}

}  // namespace
}  // namespace zarnocrypt
