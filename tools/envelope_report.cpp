#include "envelope_report.h"

#include <algorithm>
#include <cstdio>

#include "envelope.h"
#include "messages.h"
#include "text_forms.h"
#include "utf8.h"

namespace zarnocrypt::cli {
namespace {

std::string Hex(std::uint8_t byte)
{
    char text[5];
    std::snprintf(text, sizeof text, "0x%02x", byte);
    return text;
}

// What the size check of decryption decides, in words.
std::string SizeVerdict(const EnvelopeHeader& header, Status parsed, std::size_t size)
{
    if (!IsWordCount(header.blockLength))
        return "cannot be checked: the block length is not 4, 6 or 8 words";
    if (parsed != Status::Ok)
        return "inconsistent: a plaintext length of 2^31 or more describes no message";
    std::string layout = "8-byte header, " + Plural(header.blocks, "block") + " of " +
                         std::to_string(4 * header.blockLength) + " bytes";
    if (header.hasAppendix)
        layout += ", 4-byte appendix";
    if (header.expectedSize == size)
        return "consistent (" + layout + ")";
    return "inconsistent: the header needs " + std::to_string(header.expectedSize) + " bytes (" + layout +
           "), the message has " + std::to_string(size);
}

void DescribeHeader(const EnvelopeHeader& header, const std::string& verdict, std::size_t size, std::string& report)
{
    AddLine(report, "envelope", Plural(size, "byte"));
    AddLine(report, "plaintext length", Plural(header.length, "byte"), 1);
    AddLine(report, "block length",
            std::to_string(header.blockLength) + " words" +
                (IsWordCount(header.blockLength) ? " (" + std::to_string(4 * header.blockLength) + "-byte blocks)"
                                                 : " (not 4, 6 or 8: refused)"),
            1);
    AddLine(report, "key length",
            std::to_string(header.keyLength) + " words" +
                (IsWordCount(header.keyLength) ? " (" + std::to_string(32 * header.keyLength) + "-bit key)"
                                               : " (not 4, 6 or 8: no key has it)"),
            1);
    AddLine(report, "appendix flag",
            std::to_string(header.appendixFlag) +
                (header.hasAppendix ? " (a 4-byte appendix follows the blocks)" : " (no appendix)"),
            1);
    AddLine(report, "key fingerprint", Hex(header.fingerprint), 1);
    AddLine(report, "size", verdict, 1);
}

// Why decryption refused the message, from the check that refused it.
std::string RefusalReason(Status status, const EnvelopeHeader& header)
{
    switch (status) {
    case Status::Fingerprint:
        return "the fingerprint differs";
    case Status::BadHeader:
        if (!IsWordCount(header.blockLength))
            return "the block length is invalid";
        return "the size is inconsistent";
    case Status::Size:
        return "the size is inconsistent";
    case Status::KeyLength:
        return "the key length differs";
    case Status::Magic:
        return "the magic \"Zqv\" is not after the plaintext: another key with the same fingerprint, or damaged "
               "blocks";
    default:
        return "refused by the codec";
    }
}

// Whether the message decrypts with the key; true without one.
bool DescribeKeyChecks(const std::uint8_t* envelope, std::size_t size, const EnvelopeHeader& header,
                       RijndaelKey& key, bool utf8Text, std::string& report)
{
    if (!key.HasKeyBytes()) {
        AddLine(report, "key", "none given; give -k KEYFILE or ZARNOCRYPT_KEY to check fingerprint and decryption");
        return true;
    }
    AddLine(report, "key", std::to_string(32 * key.Nk()) + "-bit");
    AddLine(report, "fingerprint",
            header.fingerprint == KeyFingerprint(key) ? "matches" : "differs: the message was made under another key",
            1);
    AddLine(report, "key length",
            header.keyLength == key.Nk() ? "matches"
                                         : "differs: the key has " + std::to_string(key.Nk()) + " words, the message " +
                                               std::to_string(header.keyLength),
            1);

    Buffer plaintext;
    const Status status = DecryptEnvelope(key, envelope, size, plaintext);
    const bool notUtf8 = status == Status::Ok && utf8Text && !IsValidUtf8(plaintext.data(), TextLength(plaintext));
    if (status != Status::Ok)
        AddLine(report, "decrypts",
                std::string("no: ") + MSG_CANNOT_DECRYPT + " (" + RefusalReason(status, header) + ")", 1);
    else if (notUtf8)
        AddLine(report, "decrypts", std::string("no: ") + MSG_INVALID_UTF8, 1);
    else
        AddLine(report, "decrypts", "yes", 1);
    return status == Status::Ok && !notUtf8;
}

}  // namespace

std::string Plural(std::uint64_t count, const char* noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

void AddLine(std::string& report, const std::string& name, const std::string& value, int indent)
{
    report.append(2 * static_cast<std::size_t>(indent), ' ');
    report += name + ": " + value + "\n";
}

Verdict DescribeEnvelope(const std::uint8_t* envelope, std::size_t size, RijndaelKey& key, std::string& report,
                         bool utf8Text)
{
    if (size < ENVELOPE_HEADER_SIZE) {
        AddLine(report, "envelope", Plural(size, "byte") + ", shorter than the 8-byte header");
        return Verdict::Malformed;
    }
    EnvelopeHeader header;
    const Status parsed = ParseEnvelopeHeader(envelope, size, header);
    DescribeHeader(header, SizeVerdict(header, parsed, size), size, report);
    const bool decrypts = DescribeKeyChecks(envelope, size, header, key, utf8Text, report);
    if (parsed != Status::Ok || header.expectedSize != size)
        return Verdict::Malformed;
    return decrypts ? Verdict::Sound : Verdict::NotDecrypted;
}

}  // namespace zarnocrypt::cli
