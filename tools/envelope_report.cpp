#include "envelope_report.h"

#include <cstdio>
#include <limits>
#include <optional>

#include "byte_order.h"
#include "envelope.h"
#include "messages.h"

namespace zarnocrypt::cli {
namespace {

struct Header {
    std::uint32_t length;
    std::uint8_t blockLength;
    std::uint8_t keyLength;
    std::uint8_t appendixFlag;
    std::uint8_t fingerprint;
};

bool IsValidWordCount(std::uint8_t words) { return words == 4 || words == 6 || words == 8; }

std::string Hex(std::uint8_t byte)
{
    char text[5];
    std::snprintf(text, sizeof text, "0x%02x", byte);
    return text;
}

std::string Plural(std::uint64_t count, const char* noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// What the size check of decryption decides, with the reason in words.
struct SizeVerdict {
    bool consistent;
    std::string explanation;
};

SizeVerdict CheckSize(const Header& header, std::size_t size)
{
    if (!IsValidWordCount(header.blockLength))
        return {false, "cannot be checked: the block length is not 4, 6 or 8 words"};
    if (header.length > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
        return {false, "inconsistent: a plaintext length of 2^31 or more describes no message"};
    const std::uint64_t blockSize = 4u * header.blockLength;
    const std::uint64_t blocks = (std::uint64_t{header.length} + ENVELOPE_MAGIC_SIZE + blockSize - 1) / blockSize;
    const bool appendix = header.appendixFlag == ENVELOPE_APPENDIX_FLAG;
    const std::uint64_t needed = ENVELOPE_HEADER_SIZE + blocks * blockSize + (appendix ? ENVELOPE_APPENDIX_SIZE : 0);
    std::string layout = "8-byte header, " + Plural(blocks, "block") + " of " + std::to_string(blockSize) + " bytes";
    if (appendix)
        layout += ", 4-byte appendix";
    if (needed == size)
        return {true, "consistent (" + layout + ")"};
    return {false, "inconsistent: the header needs " + std::to_string(needed) + " bytes (" + layout +
                       "), the message has " + std::to_string(size)};
}

void DescribeHeader(const Header& header, const SizeVerdict& verdict, std::size_t size, std::string& report)
{
    AddLine(report, "envelope", Plural(size, "byte"));
    AddLine(report, "plaintext length", Plural(header.length, "byte"), 1);
    AddLine(report, "block length",
            std::to_string(header.blockLength) + " words" +
                (IsValidWordCount(header.blockLength) ? " (" + std::to_string(4 * header.blockLength) + "-byte blocks)"
                                                      : " (not 4, 6 or 8: refused)"),
            1);
    AddLine(report, "key length",
            std::to_string(header.keyLength) + " words" +
                (IsValidWordCount(header.keyLength) ? " (" + std::to_string(32 * header.keyLength) + "-bit key)"
                                                    : " (not 4, 6 or 8: no key has it)"),
            1);
    AddLine(report, "appendix flag",
            std::to_string(header.appendixFlag) +
                (header.appendixFlag == ENVELOPE_APPENDIX_FLAG ? " (a 4-byte appendix follows the blocks)"
                                                               : " (no appendix)"),
            1);
    AddLine(report, "key fingerprint", Hex(header.fingerprint), 1);
    AddLine(report, "size", verdict.explanation, 1);
}

// The first check of decryption, in its own order, that this key fails.
std::optional<std::string> FirstKeyProblem(const Header& header, const SizeVerdict& verdict, std::uint8_t fingerprint,
                                           const RijndaelKey& key)
{
    if (header.fingerprint != fingerprint)
        return "the fingerprint differs";
    if (!IsValidWordCount(header.blockLength))
        return "the block length is invalid";
    if (!verdict.consistent)
        return "the size is inconsistent";
    if (header.keyLength != key.Nk())
        return "the key length differs";
    return std::nullopt;
}

void DescribeKeyChecks(const std::uint8_t* envelope, std::size_t size, const Header& header,
                       const SizeVerdict& verdict, RijndaelKey& key, std::string& report)
{
    if (!key.HasKeyBytes()) {
        AddLine(report, "key", "none given; give -k KEYFILE or ZARNOCRYPT_KEY to check fingerprint and decryption");
        return;
    }
    const std::uint8_t fingerprint = KeyFingerprint(key);
    AddLine(report, "key", std::to_string(32 * key.Nk()) + "-bit");
    AddLine(report, "fingerprint",
            header.fingerprint == fingerprint ? "matches" : "differs: the message was made under another key", 1);
    AddLine(report, "key length",
            header.keyLength == key.Nk() ? "matches"
                                         : "differs: the key has " + std::to_string(key.Nk()) + " words, the message " +
                                               std::to_string(header.keyLength),
            1);

    // The verdict is the codec's own; the reason comes from the checks above.
    EnvelopeCodec codec;
    codec.BindKey(key);
    std::int32_t length = -1;
    const Buffer plaintext = size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())
                                 ? Buffer()
                                 : codec.DecryptEnvelope(envelope, static_cast<std::int32_t>(size), length);
    if (plaintext) {
        AddLine(report, "decrypts", "yes", 1);
        return;
    }
    std::string reason = FirstKeyProblem(header, verdict, fingerprint, key)
                             .value_or(length == 0 ? "the magic \"Zqv\" is not after the plaintext: another key "
                                                     "with the same fingerprint, or damaged blocks"
                                                   : "refused by the codec");
    AddLine(report, "decrypts", std::string("no: ") + MSG_CANNOT_DECRYPT + " (" + reason + ")", 1);
}

}  // namespace

void AddLine(std::string& report, const std::string& name, const std::string& value, int indent)
{
    report.append(2 * static_cast<std::size_t>(indent), ' ');
    report += name + ": " + value + "\n";
}

void DescribeEnvelope(const std::uint8_t* envelope, std::size_t size, RijndaelKey& key, std::string& report)
{
    if (size < ENVELOPE_HEADER_SIZE) {
        AddLine(report, "envelope", Plural(size, "byte") + ", shorter than the 8-byte header");
        return;
    }
    const Header header{LoadBigEndian32(envelope), envelope[4], envelope[5], envelope[6], envelope[7]};
    const SizeVerdict verdict = CheckSize(header, size);
    DescribeHeader(header, verdict, size, report);
    DescribeKeyChecks(envelope, size, header, verdict, key, report);
}

}  // namespace zarnocrypt::cli
