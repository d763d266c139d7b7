// Key material from key texts, and the shape of the key schedule.
#include <gtest/gtest.h>

#include <array>

#include "hex.h"
#include "rijndael_key.h"
#include "rijndael_tables.h"
#include "status.h"

namespace zarnocrypt {
namespace {

using namespace test;

std::string KeyHex(const RijndaelKey& key)
{
    return ToHex(key.KeyBytes(), static_cast<std::size_t>(4 * key.Nk()));
}

TEST(KeyText, LengthClassesChooseNk)
{
    const std::pair<std::size_t, std::int32_t> cases[] = {{1, 4},  {15, 4}, {16, 4}, {23, 4},
                                                         {24, 6}, {31, 6}, {32, 8}, {200, 8}};
    for (auto [length, nk] : cases) {
        RijndaelKey key;
        key.SetKeyText(std::string(length, 'k').c_str());
        EXPECT_TRUE(key.HasKeyBytes()) << length;
        EXPECT_FALSE(key.HasSchedule()) << length;
        EXPECT_EQ(key.Nk(), nk) << length;
    }
}

// Pad bytes are inverse S-box entries 0x43 to 0x51 (FIPS-197 Figure 14).
TEST(KeyText, ShortTextsArePaddedFromTheInverseSBoxAt0x43)
{
    RijndaelKey key;
    key.SetKeyText("A");
    EXPECT_EQ(KeyHex(key), "41" "6486689816d4a45ccc5d65b6926c70");
    key.SetKeyText("0123456789abcde");
    EXPECT_EQ(KeyHex(key), "303132333435363738396162636465" "64");
}

TEST(KeyText, OnlyTheLeadingBytesOfEachClassCount)
{
    const std::array<std::size_t, 3> cases[] = {{16, 23, 16}, {24, 31, 24}, {32, 90, 32}};
    for (auto [lengthA, lengthB, used] : cases) {
        std::string a(lengthA, 'x'), b(lengthB, 'x');
        for (std::size_t i = 0; i < used; ++i)
            a[i] = b[i] = static_cast<char>('A' + i % 26);
        b.back() = '!';
        RijndaelKey keyA, keyB;
        keyA.SetKeyText(a.c_str());
        keyB.SetKeyText(b.c_str());
        EXPECT_EQ(KeyHex(keyA), KeyHex(keyB)) << lengthA << " vs " << lengthB;
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

// Rows: Nk = 4, 6, 8; columns: Nb = 4, 6, 8. Nk = 4 with Nb = 6 stays at 10.
TEST(KeySchedule, RoundCountFollowsTheKeyUnlessTheBlockIs256Bits)
{
    const std::int32_t expected[3][3] = {{10, 10, 14}, {12, 12, 14}, {14, 14, 14}};
    for (int k = 0; k < 3; ++k)
        for (int b = 0; b < 3; ++b) {
            RijndaelKey key;
            key.SetKeyText(std::string(16 + 8 * k, 'q').c_str());
            ASSERT_EQ(key.BuildSchedule(4 + 2 * b), STATUS_OK);
            EXPECT_EQ(key.Nr(), expected[k][b]) << "Nk " << key.Nk() << " Nb " << key.Nb();
        }
}

// Nk = 4 with Nb = 6: 66 columns and 16 round constants, doubling past 0x36
// up to 0x2F. Each is recovered from w[i] = w[i − 4] ⊕ SubWord(RotWord(w[i − 1])) ⊕ rc.
TEST(KeySchedule, RoundConstantsContinueByDoublingPast0x36)
{
    RijndaelKey key;
    key.SetKeyText("sixteen byte key");
    ASSERT_EQ(key.BuildSchedule(6), STATUS_OK);
    ASSERT_EQ(key.Nr(), 10);
    const int columns = (key.Nr() + 1) * key.Nb();
    ASSERT_EQ(columns, 66);
    auto byteOf = [&](int column, int row) { return key.RoundKeyRow(column / 6, row)[column % 6]; };
    Bytes recovered;
    for (int i = 4; i < columns; i += 4)
        recovered.push_back(static_cast<std::uint8_t>(byteOf(i, 0) ^ byteOf(i - 4, 0) ^ tables::S_BOX[byteOf(i - 1, 1)]));
    EXPECT_EQ(ToHex(recovered), "01020408102040801b366cd8ab4d9a2f");
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
