#include "sealed_report.h"

#include <array>

#include "sealed_message.h"
#include "sealed_stream.h"

namespace zarnocrypt::cli {
namespace {

template <std::size_t N>
std::string Hex(const std::array<std::uint8_t, N>& bytes)
{
    static constexpr char DIGITS[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        text += DIGITS[byte >> 4];
        text += DIGITS[byte & 0x0F];
    }
    return text;
}

// Salt and nonce are no secrets: they travel in every message.
void DescribeHeader(const SealedHeader& header, std::string& report)
{
    AddLine(report, "format version", std::to_string(SEALED_VERSION), 1);
    AddLine(report, "Argon2id iterations", std::to_string(header.iterations), 1);
    AddLine(report, "Argon2id memory", std::to_string(std::uint64_t{1} << header.log2Memory) + " KiB", 1);
    AddLine(report, "Argon2id lanes", std::to_string(header.lanes), 1);
    AddLine(report, "salt", Hex(header.salt), 1);
    AddLine(report, "nonce", Hex(header.nonce), 1);
}

std::string ChunksLine(Status status, std::uint64_t chunks)
{
    if (status == Status::BadHeader)
        return "none: shorter than a header and one empty chunk";
    if (status != Status::Ok)
        return "inconsistent: the last chunk ends inside its tag";
    return std::to_string(chunks) + " of up to " + std::to_string(SEALED_CHUNK_SIZE) + " bytes";
}

}  // namespace

Verdict DescribeSealedMessage(std::span<const std::uint8_t> message, const LoadedKey& key, std::string& report)
{
    AddLine(report, "sealed message", Plural(message.size(), "byte"));
    SealedHeader header;
    if (message.size() < SEALED_HEADER_SIZE ||
        LoadSealedHeader(message.first<SEALED_HEADER_SIZE>(), header) != Status::Ok) {
        AddLine(report, "header",
                "refused: cut short, another format version than " + std::to_string(SEALED_VERSION) +
                    ", or Argon2id parameters beyond " + std::to_string(ARGON2_MAX_ITERATIONS) + " iterations, " +
                    std::to_string(1u << ARGON2_MAX_LOG2_MEMORY) + " KiB or " + std::to_string(ARGON2_MAX_LANES) +
                    " lanes",
                1);
        return Verdict::Malformed;
    }
    DescribeHeader(header, report);
    std::uint64_t chunks = 0;
    const Status sized = SealedChunkCount(message.size(), chunks);
    AddLine(report, "chunks", ChunksLine(sized, chunks), 1);
    if (!key.legacy.HasKeyBytes()) {
        AddLine(report, "key", "none given; give -k KEYFILE or ZARNOCRYPT_KEY to check that it authenticates");
        return sized == Status::Ok ? Verdict::Sound : Verdict::Malformed;
    }
    AddLine(report, "key", "given");
    Buffer plaintext;
    switch (OpenBytes(key.Bytes(), message, plaintext)) {
    case Status::Ok:
        AddLine(report, "authenticates", "yes", 1);
        return Verdict::Sound;
    case Status::Unauthentic:
        AddLine(report, "authenticates", "no: changed, cut short, or sealed under another key", 1);
        return Verdict::Unauthentic;
    default:  // the header was checked and the key is not empty: only memory can fail
        AddLine(report, "authenticates", "not known: out of memory", 1);
        return Verdict::NotDecrypted;
    }
}

}  // namespace zarnocrypt::cli
