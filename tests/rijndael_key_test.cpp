// Key material from key texts, and the shape of the key schedule.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "hex.h"
#include "rijndael_key.h"
#include "rijndael_tables.h"
#include "status.h"

namespace zarnocrypt {
namespace {

using test::FromHex;
using test::ToHex;

std::string KeyHex(const RijndaelKey& key)
{
    return ToHex(key.KeyBytes(), static_cast<std::size_t>(4 * key.Nk()));
}

// Inverse S-box entries 0x43 to 0x51 (FIPS-197 Figure 14, rows 4 and 5).
constexpr std::string_view PAD_BYTES_HEX = "6486689816d4a45ccc5d65b6926c70";

std::string PadHex(std::size_t count)
{
    return std::string(PAD_BYTES_HEX.substr(0, 2 * count));
}

TEST(KeyText, LengthClassesChooseNk)
{
    struct Case {
        std::size_t textLength;
        std::int32_t nk;
    };
    const Case cases[] = {{1, 4}, {15, 4}, {16, 4}, {23, 4}, {24, 6}, {31, 6}, {32, 8}, {200, 8}};
    for (const Case& c : cases) {
        RijndaelKey key;
        const std::string text(c.textLength, 'k');
        key.SetKeyText(text.c_str());
        EXPECT_TRUE(key.HasKeyBytes()) << c.textLength;
        EXPECT_FALSE(key.HasSchedule()) << c.textLength;
        EXPECT_EQ(key.Nk(), c.nk) << c.textLength;
    }
}

TEST(KeyText, ShortTextsArePaddedFromTheInverseSBoxAt0x43)
{
    RijndaelKey key;
    key.SetKeyText("A");
    EXPECT_EQ(KeyHex(key), "41" + PadHex(15));
    key.SetKeyText("0123456789abcde");
    EXPECT_EQ(KeyHex(key), ToHex(reinterpret_cast<const std::uint8_t*>("0123456789abcde"), 15) +
                               PadHex(1));
}

TEST(KeyText, ShortTextAndTheSameTextWithItsPadGiveTheSameKey)
{
    RijndaelKey shortKey, paddedKey;
    shortKey.SetKeyText("secret");
    std::string padded = "secret";
    for (std::uint8_t b : FromHex(PadHex(10)))
        padded += static_cast<char>(b);
    paddedKey.SetKeyText(padded.c_str());
    EXPECT_EQ(KeyHex(shortKey), KeyHex(paddedKey));
}

TEST(KeyText, OnlyTheLeadingBytesOfEachClassCount)
{
    struct Case {
        std::size_t a, b, used;
    };
    for (const Case& c : {Case{16, 23, 16}, Case{24, 31, 24}, Case{32, 90, 32}}) {
        std::string a(c.a, 'x'), b(c.b, 'x');
        for (std::size_t i = 0; i < c.used; ++i)
            a[i] = b[i] = static_cast<char>('A' + i % 26);
        b.back() = '!';
        RijndaelKey keyA, keyB;
        keyA.SetKeyText(a.c_str());
        keyB.SetKeyText(b.c_str());
        EXPECT_EQ(KeyHex(keyA), KeyHex(keyB)) << c.a << " vs " << c.b;
    }
}

TEST(KeyText, EmptyOrNullTextEmptiesTheKey)
{
    for (const char* empty : {static_cast<const char*>(nullptr), ""}) {
        RijndaelKey key;
        key.SetKeyText(std::string(40, 'z').c_str());
        ASSERT_EQ(key.BuildSchedule(6), STATUS_OK);
        key.SetKeyText(empty);
        EXPECT_FALSE(key.HasKeyBytes());
        EXPECT_FALSE(key.HasSchedule());
        EXPECT_EQ(key.Nk(), 4);
        EXPECT_EQ(key.BuildSchedule(6), ERR_NO_KEY);
        EXPECT_FALSE(key.HasSchedule());
    }
}

TEST(KeyLength, OnlyTheThreeRijndaelLengthsAreAccepted)
{
    RijndaelKey key;
    for (std::int32_t bits : {0, 64, 127, 129, 160, 224, 257, 512, -128}) {
        EXPECT_EQ(key.SetKeyLength(bits), ERR_KEY_LENGTH) << bits;
        EXPECT_EQ(key.Nk(), 4);
    }
    EXPECT_EQ(key.SetKeyLength(192), STATUS_OK);
    EXPECT_EQ(key.Nk(), 6);
    EXPECT_EQ(key.SetKeyLength(256), STATUS_OK);
    EXPECT_EQ(key.Nk(), 8);
}

TEST(KeySchedule, RequestedBlockLengthIsClamped)
{
    RijndaelKey key;
    key.SetKeyText("k");
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {-5, 4}, {0, 4}, {4, 4}, {5, 4}, {6, 6}, {7, 6}, {8, 8}, {9, 8}, {100, 8}};
    for (auto [requested, nb] : cases) {
        ASSERT_EQ(key.BuildSchedule(requested), STATUS_OK);
        EXPECT_EQ(key.Nb(), nb) << requested;
    }
}

TEST(KeySchedule, RoundCountFollowsTheKeyUnlessTheBlockIs256Bits)
{
    const std::int32_t expected[3][3] = {{10, 10, 14}, {12, 12, 14}, {14, 14, 14}};
    const std::size_t textLengths[3] = {16, 24, 32};
    for (int k = 0; k < 3; ++k)
        for (int b = 0; b < 3; ++b) {
            RijndaelKey key;
            key.SetKeyText(std::string(textLengths[k], 'q').c_str());
            ASSERT_EQ(key.BuildSchedule(4 + 2 * b), STATUS_OK);
            EXPECT_EQ(key.Nr(), expected[k][b]) << "Nk " << key.Nk() << " Nb " << key.Nb();
        }
}

// FIPS-197 Appendix A.1: expansion of the 128-bit key 2b7e1516 28aed2a6 abf71588 09cf4f3c.
TEST(KeySchedule, MatchesFips197AppendixA1ForTheAesColumns)
{
    const std::vector<std::uint8_t> raw = FromHex("2b7e151628aed2a6abf7158809cf4f3c");
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

// Nk = 4 with Nb = 6 runs 10 rounds: 66 columns and 16 round constants, the
// doubling sequence continuing past 0x36 up to 0x2F. Each constant is
// recovered from w[i] = w[i − 4] ⊕ SubWord(RotWord(w[i − 1])) ⊕ rc.
TEST(KeySchedule, RoundConstantsContinueByDoublingPast0x36)
{
    RijndaelKey key;
    key.SetKeyText("sixteen byte key");
    ASSERT_EQ(key.BuildSchedule(6), STATUS_OK);
    ASSERT_EQ(key.Nr(), 10);
    const int columns = (key.Nr() + 1) * key.Nb();
    ASSERT_EQ(columns, 66);
    auto byteOf = [&](int column, int row) {
        return key.RoundKeyRow(column / 6, row)[column % 6];
    };
    const std::vector<std::uint8_t> expected =
        FromHex("01020408102040801b366cd8ab4d9a2f");
    std::vector<std::uint8_t> recovered;
    for (int i = 4; i < columns; i += 4)
        recovered.push_back(static_cast<std::uint8_t>(
            byteOf(i, 0) ^ byteOf(i - 4, 0) ^ tables::S_BOX[byteOf(i - 1, 1)]));
    EXPECT_EQ(ToHex(recovered), ToHex(expected));
}

TEST(KeySchedule, RebuildingReplacesTheScheduleAndSettingBytesDropsIt)
{
    RijndaelKey key;
    key.SetKeyText("k");
    ASSERT_EQ(key.BuildSchedule(8), STATUS_OK);
    EXPECT_EQ(key.Nr(), 14);
    ASSERT_EQ(key.BuildSchedule(4), STATUS_OK);
    EXPECT_EQ(key.Nr(), 10);
    key.SetKeyText("other");
    EXPECT_FALSE(key.HasSchedule());
    EXPECT_EQ(key.RoundKeyRow(0, 0), nullptr);
}

}  // namespace
}  // namespace zarnocrypt
