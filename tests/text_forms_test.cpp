// The marked text forms: layouts, outcomes, and the already-marked test
// under a double-byte code page seam.
#include <gtest/gtest.h>

#include <cstring>

#include "base64.h"
#include "envelope.h"
#include "hex.h"
#include "text_forms.h"

namespace zarnocrypt {
namespace {

using namespace test;

constexpr char KEY_TEXT[] = "correct horse battery";  // 21 bytes: a 128-bit key
constexpr std::uint32_t FORMS[] = {0, FORM_HTML_COMMENT, FORM_LINE_BREAKS};

void SetKey(RijndaelKey& key, const char* text)
{
    key.SetKeyText(text);
    key.BuildSchedule(6);
}

// Code page 932: lead bytes 0x81-0x9F and 0xE0-0xFC.
bool IsLeadByte932(std::uint8_t byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
constexpr CodePage CODE_PAGE_932{IsLeadByte932};

class TextFormsTest : public testing::Test {
protected:
    void SetUp() override { SetKey(key, KEY_TEXT); }

    std::string Encrypt(const std::string& text, std::uint32_t options,
                        const CodePage& codePage = AnsiCodePage())
    {
        EncryptTextResult result = EncryptText(text.c_str(), key, options, codePage);
        EXPECT_EQ(result.outcome, EncryptTextOutcome::Encrypted);
        if (result.outcome != EncryptTextOutcome::Encrypted)
            return {};
        EXPECT_EQ(result.text.data()[result.text.size()], 0) << "marked text must be NUL-terminated";
        return AsString(result.text);
    }

    DecryptTextOutcome DecryptOutcome(const std::string& text)
    {
        return DecryptText(text.c_str(), key).outcome;
    }

    // Decrypts and checks that the plaintext is text, its NUL and the magic.
    void ExpectDecryptsTo(const std::string& marked, const std::string& text)
    {
        const DecryptTextResult result = DecryptText(marked.c_str(), key);
        ASSERT_EQ(result.outcome, DecryptTextOutcome::Decrypted) << marked;
        ASSERT_EQ(result.length, static_cast<std::int32_t>(text.size() + 1));
        ASSERT_EQ(result.plaintext.size(), text.size() + 4);
        EXPECT_EQ(AsString(result.plaintext), text + std::string(1, '\0') + "Zqv");
    }

    RijndaelKey key;
};

TEST_F(TextFormsTest, FormsHaveTheirExactLayout)
{
    struct Form {
        std::uint32_t options;
        std::size_t length;
        const char* head;
        const char* tail;
    };
    const Form forms[] = {
        {0, 58, "[ZQV]X\n", "[/ZQV]"},
        {FORM_HTML_COMMENT, 65, "[ZQV]X\n<!--", "-->[/ZQV]"},
        {FORM_LINE_BREAKS, 60, "[ZQV]X\n\n", "\n[/ZQV]"},
        {FORM_HTML_COMMENT | FORM_LINE_BREAKS, 67, "[ZQV]X\n<!--\n", "\n-->[/ZQV]"},
        {0x02 | 0x40 | 0x80000000u, 58, "[ZQV]X\n", "[/ZQV]"},  // other bits have no effect
    };
    for (const auto& form : forms) {
        SCOPED_TRACE(testing::Message() << "options " << form.options);
        const std::string marked = Encrypt("abc", form.options);
        ASSERT_EQ(marked.size(), form.length);
        const std::string head = form.head, tail = form.tail;
        EXPECT_EQ(marked.substr(0, head.size()), head);
        EXPECT_EQ(marked.substr(marked.size() - tail.size()), tail);
        const std::string body = marked.substr(head.size(), 45);
        EXPECT_EQ(body.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                         "0123456789+/"),
                  43u);
        EXPECT_EQ(body.substr(43), "==");
    }
}

TEST_F(TextFormsTest, MultilineBreaksAt72)
{
    const std::string marked = Encrypt(std::string(100, 'x'), FORM_LINE_BREAKS);
    ASSERT_EQ(marked.size(), 8 + 72 + 1 + 72 + 1 + 29 + 1 + 6u);
    EXPECT_EQ(marked.substr(0, 8), "[ZQV]X\n\n");
    EXPECT_EQ(marked[8 + 72], '\n');
    EXPECT_EQ(marked[8 + 72 + 1 + 72], '\n');
    EXPECT_EQ(marked.substr(8 + 146 + 29), "\n[/ZQV]");
    EXPECT_EQ(marked.substr(8 + 146, 29).find('\n'), std::string::npos);
    EXPECT_EQ(marked.substr(8 + 146 + 27, 2), "==");  // 128-byte envelope
}

// The envelope inside the text, checked against the key text itself.
TEST_F(TextFormsTest, EnvelopeCarriesTextWithItsNul)
{
    const char* keyTexts[] = {"abcdefgh", "abcdefghijklmnopqrstuvwx", "0123456789abcdef0123456789abcdef"};
    const std::uint8_t nks[] = {4, 6, 8};
    for (std::size_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(keyTexts[k]);
        SetKey(key, keyTexts[k]);
        std::uint8_t fingerprint = 0;
        for (int i = 0; i < 8; ++i)
            fingerprint |= static_cast<std::uint8_t>(keyTexts[k][i] & (0x80 >> i));

        const std::string marked = Encrypt("hello, world", 0);
        const std::string body = marked.substr(7, marked.size() - 7 - 6);
        const Buffer envelope = Base64Decode(body.c_str());
        ASSERT_EQ(envelope.size(), 8 + 24u);
        const std::uint8_t header[8] = {0, 0, 0, 13, 6, nks[k], 0, fingerprint};
        EXPECT_EQ(std::memcmp(envelope.data(), header, 8), 0);

        EnvelopeCodec codec;
        codec.BindKey(key);
        std::int32_t length = -1;
        const Buffer plaintext = codec.DecryptEnvelope(
            envelope.data(), static_cast<std::int32_t>(envelope.size()), length);
        ASSERT_EQ(length, 13);
        EXPECT_EQ(std::memcmp(plaintext.data(), "hello, world\0Zqv", 16), 0);
    }
}

TEST_F(TextFormsTest, EveryFormRoundTrips)
{
    const std::string texts[] = {"", "abc", std::string(21, 'a'), std::string(22, 'b'),
                                 "\x81\x40 high \xE9\xFF bytes\n\r\t", std::string(1000, 'z')};
    for (std::uint32_t options : FORMS)
        for (const auto& text : texts)
            ExpectDecryptsTo(Encrypt(text, options), text);
}

TEST_F(TextFormsTest, MarkedTextIsNotEncryptedAgain)
{
    for (std::uint32_t first : FORMS) {
        const std::string marked = Encrypt("abc", first);
        for (std::uint32_t second : FORMS) {
            const EncryptTextResult again = EncryptText(marked.c_str(), key, second);
            EXPECT_EQ(again.outcome, EncryptTextOutcome::AlreadyMarked) << first << "/" << second;
            EXPECT_FALSE(again.text);
        }
    }
    // The type letter is not looked at.
    EXPECT_EQ(EncryptText("[ZQV]?[/ZQV]", key, 0).outcome, EncryptTextOutcome::AlreadyMarked);
    EXPECT_EQ(EncryptText("[ZQV][/ZQV]", key, 0).outcome, EncryptTextOutcome::AlreadyMarked);
}

// Text after the end marker, or a second end marker, makes the whole text plain.
TEST_F(TextFormsTest, TextAfterEndMarkerIsPlain)
{
    const std::string marked = Encrypt("abc", 0);
    for (const std::string& extra : {std::string(" "), std::string("\n"), std::string("[/ZQV]")}) {
        const std::string text = marked + extra;
        EXPECT_EQ(DecryptOutcome(text), DecryptTextOutcome::NotMarked);
        ExpectDecryptsTo(Encrypt(text, 0), text);
    }
}

// Outcomes with the key and without one: damage is found before the missing
// key; a body of 8 bytes passes the format tests and fails in the envelope.
TEST_F(TextFormsTest, OutcomesOfUnmarkedDamagedAndShortTexts)
{
    using enum DecryptTextOutcome;
    const struct {
        const char* text;
        DecryptTextOutcome keyed, keyless;
    } cases[] = {
        {"", NotMarked, NotMarked},           {"abc", NotMarked, NotMarked},
        {"[ZQV]", NotMarked, NotMarked},      {"[ZQV]X", NotMarked, NotMarked},
        {"[/ZQV]", NotMarked, NotMarked},     {"abcd[/ZQV]", NotMarked, NotMarked},
        {"[ZQV]X\nYWJj[/ZQV", NotMarked, NotMarked},
        {"[ZQV][/ZQV]", Damaged, Damaged},    {"[ZQV]X[/ZQV]", Damaged, Damaged},
        {"[ZQV]X\n<!---->[/ZQV]", Damaged, Damaged},
        {"[ZQV]X\nAAAAAAAAAA=[/ZQV]", Damaged, Damaged},
        {"[ZQV]X\n=AAAAAAAAAAAAAAAAAAAAAAAAAA[/ZQV]", Damaged, Damaged},
        {"[ZQV]X\nAAAAAAAAAAA=[/ZQV]", Failed, NoKey},
    };
    RijndaelKey noKey;
    EXPECT_EQ(DecryptText(nullptr, key).outcome, NotMarked);
    for (const auto& c : cases) {
        EXPECT_EQ(DecryptOutcome(c.text), c.keyed) << c.text;
        EXPECT_EQ(DecryptText(c.text, noKey).outcome, c.keyless) << c.text;
    }
    const std::string marked = Encrypt("abc", 0);
    for (char letter : std::string("ABCDEFGHIJKLMNOPQRSTUVWYZabcdefghijklmnopqrstuvwxyz")) {
        std::string text = marked;
        text[5] = letter;
        EXPECT_EQ(DecryptOutcome(text), Damaged) << letter;
        EXPECT_EQ(DecryptText(text.c_str(), noKey).outcome, Damaged) << letter;
    }
}

TEST_F(TextFormsTest, MissingKeyComesBeforeWrongKey)
{
    const std::string marked = Encrypt("abc", 0);
    RijndaelKey noKey;
    EXPECT_EQ(DecryptText(marked.c_str(), noKey).outcome, DecryptTextOutcome::NoKey);
    RijndaelKey otherKey;
    SetKey(otherKey, "another key text");
    const DecryptTextResult wrong = DecryptText(marked.c_str(), otherKey);
    EXPECT_EQ(wrong.outcome, DecryptTextOutcome::Failed);
    EXPECT_FALSE(wrong.plaintext);
}

TEST_F(TextFormsTest, StartMarkerIsNotCompared)
{
    std::string marked = Encrypt("abc", FORM_HTML_COMMENT);
    marked.replace(0, 5, "hello");
    ExpectDecryptsTo(marked, "abc");
}

TEST_F(TextFormsTest, RewrappedBodiesStillDecrypt)
{
    const std::string text(150, 'q');
    const std::string marked = Encrypt(text, FORM_LINE_BREAKS);
    std::string body = marked.substr(8, marked.size() - 8 - 7);
    std::erase(body, '\n');
    for (std::size_t width : {1u, 17u, 64u, 76u, 1000u}) {
        for (const std::string& lineEnd : {std::string("\n"), std::string("\r\n")}) {
            std::string rewrapped = "[ZQV]X" + lineEnd;
            for (std::size_t pos = 0; pos < body.size(); pos += width)
                rewrapped += body.substr(pos, width) + lineEnd;
            ExpectDecryptsTo(rewrapped + "[/ZQV]", text);
        }
    }
}

TEST_F(TextFormsTest, UnscheduledKeyFailsToEncrypt)
{
    key.SetKeyText(KEY_TEXT);  // bytes without a schedule
    EXPECT_EQ(EncryptText("abc", key, 0).outcome, EncryptTextOutcome::Failed);
    EXPECT_EQ(EncryptText(nullptr, key, 0).outcome, EncryptTextOutcome::Failed);
}

// In a double-byte code page an end marker that begins on a trail byte is no
// end marker; the single-byte seam sees it as one.
TEST_F(TextFormsTest, AlreadyMarkedTestIsMultibyteAware)
{
    struct Case {
        const char* text;
        bool markedIn932;
        bool markedSingleByte;
    };
    const Case cases[] = {
        {"[ZQV]X\nabc\x81[/ZQV]", false, true},
        {"[ZQV]X\x81[/ZQV]x[/ZQV]", true, false},
        {"[ZQV]X\x81\x81[/ZQV]", true, true},       // the second 0x81 is a trail byte
        {"[ZQV]X\xE0\x40\xFC[/ZQV]", false, true},
        {"[ZQV]X\xA0[/ZQV]", true, true},            // 0xA0 is a single-byte character
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto in932 = EncryptText(c.text, key, 0, CODE_PAGE_932).outcome;
        EXPECT_EQ(in932 == EncryptTextOutcome::AlreadyMarked, c.markedIn932);
        const auto singleByte = EncryptText(c.text, key, 0).outcome;
        EXPECT_EQ(singleByte == EncryptTextOutcome::AlreadyMarked, c.markedSingleByte);
        if (!c.markedIn932)
            ExpectDecryptsTo(Encrypt(c.text, 0, CODE_PAGE_932), c.text);
    }
}

}  // namespace
}  // namespace zarnocrypt
