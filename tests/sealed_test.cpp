// Sealed messages and their primitives against the frozen rows of
// vectors/sealed.txt: positional fields, bytes in hex, "-" for none.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hkdf_sha256.h"
#include "sealed_stream.h"

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
        } else {
            ASSERT_EQ(verb, "open");
            EXPECT_EQ(SealOrOpen(Unhex(a), std::stoul(b), Unhex(c)), d);
        }
    }
}

}  // namespace
}  // namespace zarnocrypt
