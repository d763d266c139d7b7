// The frozen known-answer vectors of tests/vectors/, one test per file. Each
// row is a verb and name=value fields, bytes in hex; a mismatch names the row.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base64.h"
#include "envelope.h"
#include "key_text.h"
#include "rijndael_reference.h"
#include "text_forms.h"
#include "utf8.h"

namespace zarnocrypt {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Hex(const std::uint8_t* bytes, std::size_t n)
{
    std::string hex;
    for (std::size_t i = 0; i < n; ++i)
        hex += {"0123456789abcdef"[bytes[i] >> 4], "0123456789abcdef"[bytes[i] & 15]};
    return hex;
}
std::string Hex(const Buffer& buffer) { return Hex(buffer.data(), buffer.size()); }
std::string Hex(const Bytes& bytes) { return Hex(bytes.data(), bytes.size()); }

std::string Name(Status status)
{
    static const std::map<Status, const char*> names = {
        {Status::Ok, "Ok"}, {Status::KeyLength, "KeyLength"}, {Status::NoKey, "NoKey"}, {Status::NoMemory, "NoMemory"},
        {Status::BadHeader, "BadHeader"}, {Status::Fingerprint, "Fingerprint"}, {Status::Size, "Size"},
        {Status::Magic, "Magic"}, {Status::TooLarge, "TooLarge"}, {Status::NotMarked, "NotMarked"},
        {Status::AlreadyMarked, "AlreadyMarked"}, {Status::Damaged, "Damaged"}, {Status::Io, "Io"}};
    return names.at(status);
}

struct Row {
    std::string verb;
    std::map<std::string, std::string> fields;

    std::string operator[](const std::string& name) const { return fields.contains(name) ? fields.at(name) : ""; }
    long Number(const std::string& name) const { return std::stol((*this)[name]); }
    // Also narrow text: hex never holds a NUL, so c_str() ends the text.
    std::string Text(const std::string& name) const
    {
        const std::string hex = (*this)[name];
        std::string bytes;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        return bytes;
    }
    Bytes Data(const std::string& name) const { const std::string text = Text(name); return Bytes(text.begin(), text.end()); }
};

// Each row of the file in turn; a failure names the row's line.
void ForEachRow(const std::string& file, const std::function<void(const Row&)>& check)
{
    std::ifstream in(std::string(ZARNOCRYPT_VECTORS) + "/" + file);
    ASSERT_TRUE(in.is_open()) << file;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        SCOPED_TRACE(line);
        std::istringstream words(line);
        Row row;
        words >> row.verb;
        for (std::string word; words >> word;)
            row.fields[word.substr(0, word.find('='))] = word.substr(word.find('=') + 1);
        check(row);
    }
}

// nb 0 leaves the key's bytes unscheduled; another Nb than the default is
// scheduled after the text.
void LoadKey(RijndaelKey& key, const Row& row)
{
    const std::string text = row.Text("text");
    const long nb = row.Number("nb");
    const Status loaded = nb == 0 && !text.empty() ? key.SetKeyText(text.data(), text.size()) : LoadKeyText(key, text.data(), text.size());
    ASSERT_EQ(loaded, Status::Ok);
    if (nb != 0 && nb != DEFAULT_BLOCK_LENGTH) {
        ASSERT_EQ(key.BuildSchedule(static_cast<std::int32_t>(nb)), Status::Ok);
    }
}

TEST(Vectors, CipherBlocks)
{
    ForEachRow("cipher.txt", [](const Row& row) {
        const Bytes raw = row.Data("key");
        RijndaelKey key;
        ASSERT_EQ(key.SetKeyLength(static_cast<std::int32_t>(32 * row.Number("nk"))), Status::Ok);
        ASSERT_EQ(key.SetKeyBytes(raw.data(), static_cast<std::int32_t>(raw.size())), Status::Ok);
        ASSERT_EQ(key.BuildSchedule(static_cast<std::int32_t>(row.Number("nb"))), Status::Ok);
        Bytes block = row.Data("plain");
        EncryptBlock(key, block.data());
        EXPECT_EQ(Hex(block), row["cipher"]);
        DecryptBlock(key, block.data());
        EXPECT_EQ(Hex(block), row["plain"]);
    });
    // Requested block lengths between and beyond 4, 6 and 8 round down, below 4 up.
    RijndaelKey key;
    ASSERT_EQ(key.SetKeyText("k", 1), Status::Ok);
    for (auto [requested, nb] : {std::pair{-5, 4}, {0, 4}, {5, 4}, {7, 6}, {9, 8}, {100, 8}}) {
        ASSERT_EQ(key.BuildSchedule(requested), Status::Ok);
        EXPECT_EQ(key.Nb(), nb) << requested;
    }
}

// One key for all rows, so that each text replaces the previous key.
TEST(Vectors, KeyTexts)
{
    RijndaelKey key;
    ForEachRow("key_text.txt", [&](const Row& row) {
        const std::string text = row.Text("text");
        ASSERT_EQ(LoadKeyText(key, text.data(), text.size()), Status::Ok);
        const long nk = row.Number("nk");
        ASSERT_EQ(key.HasKeyBytes(), nk != 0);
        ASSERT_EQ(key.HasSchedule(), nk != 0);
        if (nk == 0)
            return;
        EXPECT_EQ(key.Nk(), nk);
        EXPECT_EQ(key.Nb(), 6);
        EXPECT_EQ(Hex(key.KeyBytes(), static_cast<std::size_t>(4 * nk)), row["bytes"]);
        const std::uint8_t fingerprint = KeyFingerprint(key);
        EXPECT_EQ(Hex(&fingerprint, 1), row["fingerprint"]);
    });
}

// A script over one key: decryptions may switch its block length, and every
// later row sees the switch.
TEST(Vectors, Envelopes)
{
    RijndaelKey key;
    ForEachRow("envelope.txt", [&](const Row& row) {
        Buffer envelope, plain;
        if (row.verb == "key") {
            LoadKey(key, row);
        } else if (row.verb == "limit") {
            const std::size_t max = static_cast<std::size_t>(row.Number("max"));
            std::size_t size = 0;
            const std::uint8_t unread = 0;
            EXPECT_EQ(MaxPlaintextLength(key.Nb()), max);
            EXPECT_EQ(EnvelopeSize(key, max, size), Status::Ok);
            EXPECT_EQ(EnvelopeSize(key, max + 1, size), Status::TooLarge);
            EXPECT_EQ(EncryptEnvelope(key, &unread, max + 1, envelope), Status::TooLarge);
            // Refused by its size alone: none of its bytes is read.
            EXPECT_EQ(DecryptEnvelope(key, &unread, ENVELOPE_MAX_SIZE + 1, plain), Status::TooLarge);
        } else if (row.verb == "seal") {
            const Bytes data = row.Data("plain");
            ASSERT_EQ(Name(EncryptEnvelope(key, data.data(), data.size(), envelope)), row["status"]);
            EXPECT_EQ(Hex(envelope), row["envelope"]);
            if (row["status"] != "Ok")
                return;
            Bytes into(envelope.size(), 0xEE);
            EXPECT_EQ(EncryptEnvelopeInto(key, data.data(), data.size(), into.data(), into.size()), Status::Ok);
            EXPECT_EQ(Hex(into), row["envelope"]);
            EXPECT_EQ(EncryptEnvelopeInto(key, data.data(), data.size(), into.data(), into.size() - 1), Status::Size);
            ASSERT_EQ(DecryptEnvelope(key, envelope.data(), envelope.size(), plain), Status::Ok);
            EXPECT_EQ(Hex(plain), row["plain"]);
        } else {
            const Bytes message = row.Data("message");
            EXPECT_EQ(Name(DecryptEnvelope(key, message.data(), message.size(), plain)), row["status"]);
            EXPECT_EQ(Hex(plain), row["plain"]);
            EXPECT_EQ(key.HasSchedule() ? key.Nb() : 0, row.Number("nb"));
        }
    });
}

TEST(Vectors, Base64)
{
    ForEachRow("base64.txt", [](const Row& row) {
        Buffer encoded, decoded;
        if (row.verb == "encode") {
            const Bytes bytes = row.Data("bytes");
            ASSERT_EQ(Base64Encode(bytes.data(), static_cast<std::uint32_t>(bytes.size()),
                                   static_cast<std::uint32_t>(row.Number("width")), encoded),
                      Status::Ok);
            EXPECT_EQ(Hex(encoded), row["text"]);
            EXPECT_EQ(encoded.data()[encoded.size()], 0);
        }
        const std::string text = row.Text("text");
        ASSERT_EQ(Base64Decode(text.data(), text.size(), decoded), Status::Ok);
        EXPECT_EQ(Hex(decoded), row["bytes"]);
    });
    // Texts whose size, or size with line feeds, would not fit 32 bits.
    Buffer text;
    const std::uint8_t unread = 0;
    EXPECT_EQ(Base64Encode(&unread, 0xFFFFFFFFu, 72, text), Status::TooLarge);
    EXPECT_EQ(Base64Encode(&unread, 3221225470u, 0, text), Status::TooLarge);
    EXPECT_EQ(Base64Encode(&unread, 3000000000u, 1, text), Status::TooLarge);
}

TEST(Vectors, TextForms)
{
    // Code page 932: lead bytes 0x81-0x9F and 0xE0-0xFC.
    static const CodePage codePage932{[](std::uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }};
    RijndaelKey key;
    ForEachRow("text_forms.txt", [&](const Row& row) {
        Buffer result;
        if (row.verb == "key") {
            LoadKey(key, row);
        } else if (row.verb == "encrypt") {
            const std::uint32_t form = static_cast<std::uint32_t>(row.Number("form"));
            const CodePage& codePage = row["cp"] == "932" ? codePage932 : SingleByteCodePage();
            EXPECT_EQ(Name(EncryptText(row.Text("text").c_str(), key, form, codePage, result)), row["status"]);
            EXPECT_EQ(Hex(result), row["marked"]);
        } else {
            const std::string text = row.Text("marked");
            EXPECT_EQ(Name(DecryptText(text.data(), text.size(), key, result)), row["status"]);
            EXPECT_EQ(Hex(result), row["plain"]);
        }
    });
    Buffer marked;
    EXPECT_EQ(DecryptText(nullptr, 0, key, marked), Status::NotMarked);
    ASSERT_EQ(key.SetKeyText("bytes without a schedule", 24), Status::Ok);
    EXPECT_EQ(EncryptText("abc", key, 0, SingleByteCodePage(), marked), Status::NoKey);
}

// The first message of text_forms.txt ("abc" with its NUL under its first
// key) read as type "U", strictly, and without a key.
TEST(Vectors, TextTypesStrictnessAndReadingWithoutAKey)
{
    RijndaelKey key, other;
    std::string marked;
    ForEachRow("text_forms.txt", [&](const Row& row) {
        if (row.verb == "key" && !key.HasKeyBytes())
            LoadKey(key, row);
        if (row.verb == "decrypt" && marked.empty())
            marked = row.Text("marked");
    });
    ASSERT_EQ(LoadKeyText(other, "another key", 11), Status::Ok);
    std::string utf8 = marked;
    utf8[START_MARKER_SIZE] = 'U';
    const std::string truncated = marked.substr(0, 20) + END_MARKER, shortBody = "[ZQV]U\nAAAA[/ZQV]";

    struct Case { const std::string& text; unsigned readable; Status decrypted; Status read; };
    const Case cases[] = {
        {marked, READ_ANSI, Status::Ok, Status::Ok},       {utf8, READ_ANSI, Status::Damaged, Status::Ok},
        {utf8, READ_ANSI | READ_UTF8, Status::Ok, Status::Ok}, {truncated, READ_ANSI, Status::Size, Status::Size},
        {shortBody, READ_UTF8, Status::Damaged, Status::Damaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        Buffer plain;
        TextType type = TextType::Ansi;
        EnvelopeHeader header;
        EXPECT_EQ(Name(DecryptText(c.text.data(), c.text.size(), key, plain, c.readable, &type)), Name(c.decrypted));
        EXPECT_EQ(Name(ReadMarkedText(TrimWhiteSpace(" \r\n" + c.text + "\t"), type, header)), Name(c.read));
        if (c.read == Status::Ok) {
            EXPECT_TRUE(header.length == 4 && type == static_cast<TextType>(c.text[START_MARKER_SIZE]));
        }
    }
    // Strict: only a message that this key decrypts is already marked; the
    // key's schedule is not moved by the test.
    Buffer out;
    EXPECT_EQ(EncryptText(marked.c_str(), key, 0, SingleByteCodePage(), out, TextType::Utf8, true), Status::AlreadyMarked);
    ASSERT_EQ(EncryptText(marked.c_str(), other, 0, SingleByteCodePage(), out, TextType::Utf8, true), Status::Ok);
    EXPECT_EQ(out.data()[START_MARKER_SIZE], 'U');
    EXPECT_EQ(TrimWhiteSpace(" \t\r\n"), "");

    const std::pair<const char*, bool> utf8Cases[] = {
        {"", true}, {"a\xc2\x80\xdf\xbf", true}, {"\xc1\xbf", false}, {"\xe0\xa0\x80\xed\x9f\xbf", true},
        {"\xe0\x9f\xbf", false}, {"\xed\xa0\x80", false}, {"\xf0\x90\x80\x80\xf4\x8f\xbf\xbf", true},
        {"\xf0\x8f\xbf\xbf", false}, {"\xf4\x90\x80\x80", false}, {"\xf5\x80\x80\x80", false},
        {"\xe2\x82", false}, {"\xc2\x41", false}, {"\xe2\x82\xc0", false}, {"\xef\xbf\xbf", true},
    };
    for (const auto& [text, valid] : utf8Cases)
        EXPECT_EQ(IsValidUtf8(reinterpret_cast<const std::uint8_t*>(text), std::strlen(text)), valid) << text;
}

}  // namespace
}  // namespace zarnocrypt
