// Base64 with the extra "=", bare line feeds, and the lenient decoder.
#include <gtest/gtest.h>

#include "base64.h"
#include "hex.h"

namespace zarnocrypt {
namespace {

using namespace test;

std::string Encode(const std::string& bytes, std::uint32_t lineLength = 0)
{
    const Buffer text = Base64Encode(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                     static_cast<std::uint32_t>(bytes.size()), lineLength);
    EXPECT_TRUE(text);
    EXPECT_EQ(text.data()[text.size()], 0) << "encoded text must be NUL-terminated";
    return AsString(text);
}

// Bit-at-a-time encoder, written independently of the table-driven one.
std::string ReferenceEncode(const Bytes& bytes)
{
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::uint32_t bits = 0;
    int held = 0;
    for (std::uint8_t byte : bytes) {
        bits = (bits << 8) | byte;
        for (held += 8; held >= 6; held -= 6)
            out += alphabet[(bits >> (held - 6)) & 0x3F];
    }
    if (held > 0)
        out += alphabet[(bits << (6 - held)) & 0x3F];
    while (out.size() % 4 != 0)
        out += '=';
    return out + "=";
}

struct Vector {
    const char* plain;
    const char* encoded;
};

// RFC 4648 section 10, each with this system's extra "=".
constexpr Vector KNOWN_ANSWERS[] = {
    {"", "="},           {"a", "YQ==="},          {"ab", "YWI=="},
    {"abc", "YWJj="},    {"f", "Zg==="},          {"fo", "Zm8=="},
    {"foo", "Zm9v="},    {"foob", "Zm9vYg==="},   {"fooba", "Zm9vYmE=="},
    {"foobar", "Zm9vYmFy="},
};

TEST(Base64Test, EncodesAndDecodesKnownAnswers)
{
    for (const auto& v : KNOWN_ANSWERS) {
        EXPECT_EQ(Encode(v.plain), v.encoded) << "input \"" << v.plain << '"';
        EXPECT_EQ(AsString(Base64Decode(v.encoded)), v.plain) << "input \"" << v.encoded << '"';
    }
}

TEST(Base64Test, DecoderIsLenient)
{
    const Vector cases[] = {
        {"abc", "YWJj"},          {"abc", "YW Jj"},          {"abc", "Y\nWJj"},
        {"abc", "Y\r\nW\tJj\n"},  {"abc", "<!--YWJj-->"},    {"abc", "YW\x80\xffJ!j"},
        {"abc", "YWJj=YWJj"},     {"abc", "YWJj=\x01garbage"}, {"ab", "YWI"},
        {"a", "YQ"},              {"", "Y"},                 {"", "=YWJj"},
        {"", ""},                 {"", " \r\n<!-- -->"},     {"abca", "YWJjYQ"},
        {"abcab", "YWJjYWI"},     {"abc", "YWJjY"},
        // Unused low bits of the last value are not checked.
        {"a", "YR"},              {"ab", "YWJ"},
    };
    for (const auto& c : cases) {
        const Buffer bytes = Base64Decode(c.encoded);
        ASSERT_TRUE(bytes) << "no result for \"" << c.encoded << '"';
        EXPECT_EQ(AsString(bytes), c.plain) << "input \"" << c.encoded << '"';
    }
}

TEST(Base64Test, BoundedDecodeStopsAtMaxLength)
{
    EXPECT_EQ(AsString(Base64Decode("YWJjYWJj", 4)), "abc");
    EXPECT_EQ(AsString(Base64Decode("YWJj[/ZQV]", 4)), "abc");
    EXPECT_EQ(AsString(Base64Decode("YW=Jj", 5)), "a");
    const Buffer none = Base64Decode("YWJj", 0);
    EXPECT_TRUE(none);
    EXPECT_EQ(none.size(), 0u);
}

TEST(Base64Test, NullTextGivesNoResult)
{
    EXPECT_FALSE(Base64Decode(nullptr));
    EXPECT_FALSE(Base64Encode(nullptr, 3, 0));
    EXPECT_EQ(AsString(Base64Encode(nullptr, 0, 0)), "=");
}

TEST(Base64Test, MatchesReferenceOverAllByteValues)
{
    Bytes bytes(256);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(255 - i);
    for (std::size_t n : {254u, 255u, 256u}) {
        const Bytes slice(bytes.begin(), bytes.begin() + n);
        const Buffer text = Base64Encode(slice.data(), static_cast<std::uint32_t>(n), 0);
        EXPECT_EQ(AsString(text), ReferenceEncode(slice)) << n << " bytes";
    }
}

// Every length 0..200 at every width: the layout is floor(T/k) full lines
// each ended by LF, then T mod k characters without one, and it decodes back.
TEST(Base64Test, RoundTripsWithLineLayout)
{
    std::mt19937 random(12345);
    const Bytes bytes = RandomBytes(random, 200);
    for (std::uint32_t width : {0u, 1u, 2u, 3u, 4u, 5u, 71u, 72u, 73u, 76u}) {
        for (std::uint32_t n = 0; n <= bytes.size(); ++n) {
            SCOPED_TRACE(testing::Message() << n << " bytes, width " << width);
            const Bytes input(bytes.begin(), bytes.begin() + n);
            const Buffer text = Base64Encode(input.data(), n, width);
            ASSERT_TRUE(text);
            const std::string encoded = AsString(text);
            const std::size_t chars = 4 * ((n + 2) / 3) + 1;

            std::string unbroken;
            std::size_t lineFeeds = 0;
            for (std::size_t pos = 0; pos < encoded.size();) {
                const std::size_t lf = encoded.find('\n', pos);
                const std::size_t lineEnd = lf == std::string::npos ? encoded.size() : lf;
                if (lf != std::string::npos) {
                    ASSERT_EQ(lineEnd - pos, width) << "full line of the wrong width";
                    ++lineFeeds;
                } else {
                    ASSERT_EQ(lineEnd - pos, width == 0 ? chars : chars % width);
                }
                unbroken += encoded.substr(pos, lineEnd - pos);
                pos = lineEnd + (lf != std::string::npos);
            }
            EXPECT_EQ(lineFeeds, width == 0 ? 0 : chars / width);
            EXPECT_EQ(unbroken, ReferenceEncode(input));

            const Buffer decoded = Base64Decode(encoded.c_str());
            ASSERT_TRUE(decoded);
            EXPECT_EQ(ToBytes(decoded), input);
        }
    }
}

TEST(Base64Test, WidthOfTheMultilineForm)
{
    const std::string full = Encode(std::string(54, '\x5A'), 72);
    ASSERT_EQ(full.size(), 74u);
    EXPECT_EQ(full.substr(72), "\n=");

    const std::string fiftyOne = Encode(std::string(51, '\x5A'), 72);
    EXPECT_EQ(fiftyOne.size(), 69u);
    EXPECT_EQ(fiftyOne.find('\n'), std::string::npos);

    EXPECT_EQ(Encode("abc", 1), "Y\nW\nJ\nj\n=\n");
    EXPECT_EQ(Encode("", 1), "=\n");
}

// Sizes whose text would not fit 32 bits are refused before any byte is read.
TEST(Base64Test, RefusesTextBeyond32Bits)
{
    const std::uint8_t byte = 0;
    EXPECT_FALSE(Base64Encode(&byte, 0xFFFFFFFFu, 0));
    EXPECT_FALSE(Base64Encode(&byte, 0xFFFFFFFFu, 72));
    EXPECT_FALSE(Base64Encode(&byte, 3221225470u, 0));  // T = 2^32 + 1
    EXPECT_FALSE(Base64Encode(&byte, 3000000000u, 1));  // T fits, line feeds do not
}

}  // namespace
}  // namespace zarnocrypt
