// Field arithmetic and table spot checks against FIPS-197 (sections 4.2, 5.1.1,
// Figures 7 and 14). The full tables are covered by the cipher vectors.
#include <gtest/gtest.h>

#include "rijndael_tables.h"

namespace zarnocrypt::tables {
namespace {

TEST(RijndaelTables, FieldProductsOfFips197Section42)
{
    EXPECT_EQ(Multiply(0x57, 0x83), 0xC1);
    EXPECT_EQ(Multiply(0x57, 0x13), 0xFE);
    // xtime chain of section 4.2.1: 57 → ae → 47 → 8e → 07.
    EXPECT_EQ(TIMES_2[0x57], 0xAE);
    EXPECT_EQ(TIMES_4[0x57], 0x47);
    EXPECT_EQ(TIMES_2[0x8E], 0x07);
    EXPECT_EQ(TIMES_9[0x57], Multiply(0x57, 0x09));
}

TEST(RijndaelTables, SBoxEntriesOfFigures7And14)
{
    EXPECT_EQ(S_BOX[0x00], 0x63);
    EXPECT_EQ(S_BOX[0x53], 0xED);
    EXPECT_EQ(S_BOX[0xFF], 0x16);
    EXPECT_EQ(INVERSE_S_BOX[0x00], 0x52);
    EXPECT_EQ(INVERSE_S_BOX[0x43], 0x64);
    EXPECT_EQ(INVERSE_S_BOX[0xFF], 0x7D);
}

TEST(RijndaelTables, InverseSBoxUndoesSBoxAndNoByteIsFixed)
{
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(INVERSE_S_BOX[S_BOX[b]], b);
        EXPECT_NE(S_BOX[b], b);
    }
}

}  // namespace
}  // namespace zarnocrypt::tables
