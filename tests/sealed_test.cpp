// Sealed messages and their primitives against the frozen rows of
// vectors/sealed.txt: positional fields, bytes in hex, "-" for none.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base64.h"
#include "either_format.h"
#include "hkdf_sha256.h"
#include "key_text.h"
#include "master_key_cache.h"
#include "random_bytes.h"
#include "sealed_message.h"
#include "sealed_stream.h"
#include "sealed_text.h"
#include "text_forms.h"

namespace zarnocrypt {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Unhex(const std::string& hex)
{
    Bytes bytes;
    for (std::size_t i = 0; hex != "-" && i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string Outcome(Status status, const Bytes& bytes)
{
    std::string hex;
    for (auto b : bytes)
        hex += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
    switch (status) {
    case Status::Ok: return hex;
    case Status::BadHeader: return "BadHeader";
    case Status::NoKey: return "NoKey";
    case Status::Unauthentic: return "Unauthentic";
    case Status::Damaged: return "Damaged";
    case Status::Size: return "Size";
    default: return "Status " + std::to_string(static_cast<int>(status));
    }
}

// Short reads of at most five bytes, so that no chunk arrives in one piece.
struct Source : ByteSource {
    Bytes data;
    std::size_t at = 0;
    explicit Source(Bytes bytes) : data(std::move(bytes)) {}
    Status Read(std::uint8_t* into, std::size_t want, std::size_t& got) noexcept override
    {
        got = std::min({want, data.size() - at, std::size_t{5}});
        std::copy_n(data.begin() + at, got, into);
        at += got;
        return Status::Ok;
    }
};

struct Sink : ByteSink {
    Bytes data;
    Status Write(const std::uint8_t* bytes, std::size_t size) noexcept override
    {
        data.insert(data.end(), bytes, bytes + size);
        return Status::Ok;
    }
};

// Seals plain under the header that message starts with (when plain is given), else opens message.
std::string SealOrOpen(const Bytes& key, std::size_t chunk, const Bytes& message, const Bytes* plain = nullptr)
{
    SealedHeader header;
    std::array<std::uint8_t, SEALED_KEY_SIZE> master{};
    Status status = LoadSealedHeader(std::span<const std::uint8_t, SEALED_HEADER_SIZE>(message.data(), 40), header);
    if (status == Status::Ok)
        status = DeriveSealedMasterKey(key, header, master);
    Source source(plain ? *plain : Bytes(message.begin() + 40, message.end()));
    Sink sink;
    if (status == Status::Ok)
        status = plain ? EncryptSealedStream(master, header, source, sink, chunk)
                       : DecryptSealedStream(master, header, source, sink, chunk);
    return Outcome(status, sink.data);
}

std::string Text(const Buffer& buffer)
{
    return {reinterpret_cast<const char*>(buffer.data()), buffer.size()};
}

// A frozen whole message as a sealed text in each layout (its Base64 between
// the markers), then that text changed, retyped and read by a legacy reader.
void CheckTextForms(const Bytes& key, const Bytes& plain, const Bytes& message)
{
    struct Layout { std::uint32_t options; std::string open, close; std::uint32_t line; };
    const Layout layouts[] = {{0, "", "", 0}, {FORM_HTML_COMMENT, "<!--", "-->", 0}, {FORM_LINE_BREAKS, "\n", "\n", 72},
                              {FORM_HTML_COMMENT | FORM_LINE_BREAKS, "<!--\n", "\n-->", 72}};
    SealedHeader header;
    ASSERT_EQ(LoadSealedHeader(std::span<const std::uint8_t, SEALED_HEADER_SIZE>(message.data(), 40), header), Status::Ok);
    const std::string keyText(key.begin(), key.end()), text(plain.begin(), plain.end());
    std::string expected;
    for (const Layout& layout : layouts) {
        Buffer base64, marked, opened;
        ASSERT_EQ(Base64Encode(message.data(), static_cast<std::uint32_t>(message.size()), layout.line, base64), Status::Ok);
        expected = "[ZQV]G\n" + layout.open + Text(base64) + layout.close + "[/ZQV]";
        EXPECT_EQ(SealText(keyText, text, header, layout.options, marked), Status::Ok);
        EXPECT_EQ(Text(marked), expected);
        const Status status = OpenText(keyText, expected, opened);
        EXPECT_EQ(Outcome(status, Bytes(opened.begin(), opened.end())), Outcome(Status::Ok, plain));
    }
    std::string changed = expected, ansi = expected;
    changed[72] = changed[72] == 'A' ? 'B' : 'A';  // a chunk's byte or its tag, in any of these messages
    ansi[START_MARKER_SIZE] = 'X';
    struct Case { const std::string& text; Status legacy, sealed; };
    const Case cases[] = {{expected, Status::Damaged, Status::Ok}, {changed, Status::Damaged, Status::Unauthentic},
                          {ansi, Status::NoKey, Status::Damaged}};
    for (const Case& c : cases) {
        RijndaelKey legacyKey;
        Buffer out;
        EXPECT_EQ(Outcome(DecryptText(c.text.data(), c.text.size(), legacyKey, out, READ_ANSI | READ_UTF8), {}),
                  Outcome(c.legacy, {}));
        EXPECT_EQ(Outcome(OpenText(keyText, c.text, out), {}), Outcome(c.sealed, {}));
    }
}

TEST(SealedVectors, EveryRow)
{
    std::ifstream in(std::string(ZARNOCRYPT_VECTORS) + "/sealed.txt");
    ASSERT_TRUE(in.is_open());
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        SCOPED_TRACE(line);
        std::istringstream words(line);
        std::string verb, a, b, c, d, e, f;
        words >> verb >> a >> b >> c >> d >> e >> f;
        if (verb == "argon2id") {
            std::array<std::uint8_t, SEALED_KEY_SIZE> key{};
            const Status status = Argon2id(Unhex(a), Unhex(b), std::stoi(c), std::stoi(d), std::stoi(e), key);
            EXPECT_EQ(Outcome(status, Bytes(key.begin(), key.end())), f);
        } else if (verb == "hkdf") {
            Bytes okm(Unhex(d).size());
            EXPECT_EQ(Outcome(HkdfSha256(Unhex(a), Unhex(b), Unhex(c), okm), okm), d);
        } else if (verb == "seal") {
            const Bytes plain = Unhex(c);
            EXPECT_EQ(SealOrOpen(Unhex(a), std::stoul(b), Unhex(d), &plain), d);
            EXPECT_EQ(SealOrOpen(Unhex(a), std::stoul(b), Unhex(d)), c == "-" ? "" : c);
            if (std::stoul(b) == SEALED_CHUNK_SIZE)
                CheckTextForms(Unhex(a), plain, Unhex(d));
        } else {
            ASSERT_EQ(verb, "open");
            EXPECT_EQ(SealOrOpen(Unhex(a), std::stoul(b), Unhex(c)), d);
        }
    }
}

// More than one getrandom call gives: the parts must be put together.
TEST(SealedVectors, RandomBytesFillTheWholeRequestAndDiffer)
{
    Bytes a((std::size_t{1} << 25) + 64), b(64);
    ASSERT_EQ(RandomBytes(a), Status::Ok);
    ASSERT_EQ(RandomBytes(b), Status::Ok);
    EXPECT_NE(Bytes(a.end() - 64, a.end()), b);
    EXPECT_NE(Bytes(a.end() - 64, a.end()), Bytes(64));
}

// Readers of both formats tell them apart by the type letter or the magic,
// and a sealed message's size alone gives its chunk count.
TEST(SealedReaders, TellTheFormatsApart)
{
    const std::string keyText = "either";
    const Bytes key(keyText.begin(), keyText.end()), plain = {'h', 'i'};
    RijndaelKey legacy;
    ASSERT_EQ(LoadKeyText(legacy, keyText.data(), keyText.size()), Status::Ok);
    Buffer envelope, sealed, legacyText, sealedText, out;
    ASSERT_EQ(EncryptEnvelope(legacy, plain.data(), plain.size(), envelope), Status::Ok);
    ASSERT_EQ(SealBytes(key, plain, sealed), Status::Ok);
    ASSERT_EQ(EncryptText("hi", legacy, 0, SingleByteCodePage(), legacyText), Status::Ok);
    ASSERT_EQ(SealText(keyText, "hi", 0, sealedText), Status::Ok);
    Bytes flipped(sealed.begin(), sealed.end());
    flipped.back() ^= 1;
    const auto text = [](const Buffer& b) { return std::string_view(reinterpret_cast<const char*>(b.data()), b.size()); };
    const unsigned all = READ_ANSI | READ_UTF8 | READ_SEALED;
    struct Row { std::string_view text; unsigned readable; std::string expected; };
    for (const Row& row : {Row{text(legacyText), all, "686900"}, Row{text(sealedText), all, "6869"},
                           Row{text(sealedText), READ_ANSI | READ_UTF8, "Damaged"}}) {
        TextType type = TextType::Ansi;
        const Status status = DecryptAnyText(row.text, legacy, keyText, row.readable, out, type);
        EXPECT_EQ(Outcome(status, Bytes(out.begin(), out.begin() + (status == Status::Ok ? out.size() : 0))),
                  row.expected);
    }
    for (const auto& [message, expected] : {std::pair{Bytes(envelope.begin(), envelope.end()), "6869"},
                                            std::pair{Bytes(sealed.begin(), sealed.end()), "6869"},
                                            std::pair{flipped, "Unauthentic"}, std::pair{Bytes{'Z', 'Q'}, "BadHeader"}}) {
        Buffer whole;
        const Status status = DecryptAnyBytes(message, legacy, key, whole);
        EXPECT_EQ(Outcome(status, Bytes(whole.begin(), whole.begin() + (status == Status::Ok ? whole.size() : 0))),
                  expected);
        Source source(message);
        Sink sink;
        std::array<std::uint8_t, ENVELOPE_STREAM_MIN_WORK> work{};
        EXPECT_EQ(Outcome(DecryptAnyStream(legacy, key, source, sink, work), sink.data), expected);
    }
    constexpr std::uint64_t chunk = SEALED_CHUNK_SIZE + SEALED_TAG_SIZE;
    for (const auto& [size, expected] : {std::pair{std::uint64_t{55}, "BadHeader"}, {56, "1"}, {40 + chunk, "1"},
                                         {41 + chunk, "Size"}, {56 + chunk, "2"}, {40 + 3 * chunk, "3"}}) {
        std::uint64_t chunks = 0;
        const Status status = SealedChunkCount(size, chunks);
        EXPECT_EQ(status == Status::Ok ? std::to_string(chunks) : Outcome(status, {}), expected) << size;
    }
    SealedHeader header;
    std::uint64_t chunks = 0;
    EXPECT_EQ(ReadSealedText(text(sealedText), header, chunks), Status::Ok);
    EXPECT_EQ(chunks, 1U);
    EXPECT_TRUE(std::equal(header.salt.begin(), header.salt.end(), sealed.begin() + 8));
}

// A writer keeps one salt per key text, so its messages cost one derivation
// together and differ by their nonces; a reader of another key text gets none.
TEST(SealedCache, AThousandMessagesOfOneWriterCostOneDerivation)
{
    const Bytes keyText = {'c', 'a', 'c', 'h', 'e'}, other = {'o', 't', 'h', 'e', 'r'}, plain(100, 'A');
    const std::uint64_t before = MasterKeyDerivations();
    std::vector<Bytes> messages;
    for (int i = 0; i < 1000; ++i) {
        Buffer message;
        ASSERT_EQ(SealBytes(keyText, plain, message), Status::Ok);
        messages.emplace_back(message.begin(), message.end());
    }
    for (const Bytes& message : messages) {
        Buffer opened;
        ASSERT_EQ(OpenBytes(keyText, message, opened), Status::Ok);
        ASSERT_EQ(Bytes(opened.begin(), opened.end()), plain);
        ASSERT_TRUE(StartsSealedMessage(message));
        ASSERT_TRUE(std::equal(message.begin(), message.begin() + 24, messages[0].begin()));  // magic to salt
    }
    EXPECT_EQ(MasterKeyDerivations() - before, 1U);
    std::sort(messages.begin(), messages.end());
    EXPECT_EQ(std::adjacent_find(messages.begin(), messages.end()), messages.end());
    Buffer opened;
    EXPECT_EQ(OpenBytes(other, messages[0], opened), Status::Unauthentic);
    EXPECT_EQ(MasterKeyDerivations() - before, 2U);
}

// The cache holds a bounded number of key texts and drops the one used
// longest ago: a writer salt and a master key both survive while in use.
TEST(SealedCache, KeepsWhatIsInUseAndDropsTheOldest)
{
    SealedHeader cheap;  // Argon2id at its least, so that many derivations cost nothing
    cheap.iterations = 1;
    cheap.log2Memory = 3;
    const auto key = [](std::size_t i) { return Bytes{'k', static_cast<std::uint8_t>(i)}; };
    std::array<std::uint8_t, SEALED_KEY_SIZE> master{};
    std::vector<std::array<std::uint8_t, SEALED_SALT_SIZE>> salts;
    const std::uint64_t before = MasterKeyDerivations();
    for (std::size_t i = 0; i <= MASTER_KEY_CACHE_ENTRIES; ++i) {
        SealedHeader header;
        ASSERT_EQ(NewSealedHeader(key(i), header), Status::Ok);
        salts.push_back(header.salt);
        ASSERT_EQ(CachedMasterKey(key(i), cheap, master), Status::Ok);
        ASSERT_EQ(NewSealedHeader(key(0), header), Status::Ok);  // key 0 stays in use
        ASSERT_EQ(CachedMasterKey(key(0), cheap, master), Status::Ok);
        EXPECT_EQ(header.salt, salts[0]);
    }
    EXPECT_EQ(MasterKeyDerivations() - before, MASTER_KEY_CACHE_ENTRIES + 1);
    SealedHeader header;
    ASSERT_EQ(NewSealedHeader(key(1), header), Status::Ok);  // dropped when the last one came
    EXPECT_NE(header.salt, salts[1]);
    ASSERT_EQ(CachedMasterKey(key(1), cheap, master), Status::Ok);
    EXPECT_EQ(MasterKeyDerivations() - before, MASTER_KEY_CACHE_ENTRIES + 2);
}

}  // namespace
}  // namespace zarnocrypt
