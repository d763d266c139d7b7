// The boundary conversions, checked against the system's own conversions.
#include "crypter_test_support.h"

#include "wide_text.h"

namespace zarnocrypt::test {
namespace {

std::string Narrow(const NarrowText& narrow)
{
    return std::string(reinterpret_cast<const char*>(narrow.text.data()), narrow.text.size());
}

// Where characters take three bytes (UTF-8), two bytes per character would
// cut the text short; the buffer is sized from the conversion instead.
TEST(WideText, ConvertsWholeTextWhereCharactersTakeThreeBytes)
{
    const std::wstring wide(40, L'\u65e5');
    const NarrowText narrow = NarrowFromWide(wide.c_str(), CP_UTF8);
    ASSERT_EQ(S_OK, narrow.status);
    ASSERT_EQ(120u, narrow.text.size());
    EXPECT_EQ('\0', narrow.text.data()[120]);

    Bstr back;
    ASSERT_EQ(S_OK, WideFromNarrow(Narrow(narrow).c_str(), narrow.text.size(), back.out(), CP_UTF8));
    EXPECT_EQ(wide, back.text());
}

TEST(WideText, NullEmptyAndEmbeddedZero)
{
    const NarrowText none = NarrowFromWide(nullptr);
    EXPECT_EQ(S_OK, none.status);
    EXPECT_FALSE(none.text);

    const NarrowText empty = NarrowFromWide(L"");
    EXPECT_EQ(S_OK, empty.status);
    ASSERT_TRUE(empty.text);
    EXPECT_EQ(0u, empty.text.size());

    const wchar_t embedded[] = L"ab\0cd";
    EXPECT_EQ("ab", Narrow(NarrowFromWide(embedded)));

    Bstr wide;
    ASSERT_EQ(S_OK, WideFromNarrow("xy\0z", 4, wide.out()));
    EXPECT_EQ(L"xy", wide.text());
    ASSERT_EQ(S_OK, WideFromNarrow("", 0, wide.out()));
    EXPECT_FALSE(wide.null());
    EXPECT_EQ(L"", wide.text());
    // Without a zero byte the given length is the end.
    ASSERT_EQ(S_OK, WideFromNarrow("abcdef", 3, wide.out()));
    EXPECT_EQ(L"abc", wide.text());
}

TEST(WideText, AgreesWithTheSystemConversionInTheAnsiCodePage)
{
    std::wstring wide;
    for (wchar_t c = 1; c < 0x3000; c += 7)
        wide += c;
    char expected[4096] = {};
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, expected, sizeof expected, nullptr, nullptr);
    ASSERT_GT(size, 0);
    EXPECT_EQ(std::string(expected), Narrow(NarrowFromWide(wide.c_str())));
}

}  // namespace
}  // namespace zarnocrypt::test
