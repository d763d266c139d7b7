#include "message_report.h"

#include <string_view>

#include "base64.h"
#include "envelope.h"
#include "envelope_report.h"
#include "messages.h"
#include "sealed_message.h"
#include "sealed_report.h"
#include "text_forms.h"

namespace zarnocrypt::cli {
namespace {

constexpr std::size_t TYPE_LETTER_OFFSET = START_MARKER_SIZE;

// Where a text stands against the rules of Decrypt: marked texts end with the
// end marker (its first occurrence after the first five bytes) and nothing else.
struct Marking {
    bool marked;
    std::string_view body;    // marked: between the type letter and the end marker
    std::string reason;       // unmarked: why
};

Marking FindMarking(std::string_view text)
{
    if (text.size() < START_MARKER_SIZE)
        return {false, {}, "shorter than the start marker"};
    const std::size_t end = FindEndMarker(text.data(), text.size());
    if (end == text.size())
        return {false, {}, "no end marker \"" + std::string(END_MARKER) + "\""};
    if (end + END_MARKER_SIZE != text.size())
        return {false, {}, "text follows the first end marker"};
    const std::size_t bodyStart = TYPE_LETTER_OFFSET + 1;
    return {true, end > bodyStart ? text.substr(bodyStart, end - bodyStart) : std::string_view(), {}};
}

std::string_view WithoutLineEnds(std::string_view text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool SkipLineEnd(std::string_view& text)
{
    if (text.starts_with("\r\n"))
        text.remove_prefix(2);
    else if (text.starts_with("\n"))
        text.remove_prefix(1);
    else
        return false;
    return true;
}

// Which command made the body.
std::string FormOf(std::string_view body)
{
    const std::uint32_t options = FormOptions(body);
    if ((options & FORM_HTML_COMMENT) != 0)
        return "marked text, Base64 inside an HTML comment (html-encrypt)";
    if ((options & FORM_LINE_BREAKS) == 0)
        return "marked text, Base64 on one line (encrypt)";
    SkipLineEnd(body);
    SkipLineEnd(body);
    std::string form = "marked text, Base64 in lines (multiline-encrypt)";
    // The width shows only when a second line follows the first.
    const std::size_t width = body.find_first_of("\r\n");
    std::string_view rest = body.substr(width == std::string_view::npos ? body.size() : width);
    const bool crlf = rest.starts_with("\r\n");
    if (SkipLineEnd(rest) && !rest.empty() && rest.front() != '\r' && rest.front() != '\n')
        form += ", lines of " + std::to_string(width) + " characters";
    if (crlf)
        form += ", CRLF line ends";
    return form;
}

std::string Quoted(char letter)
{
    const auto byte = static_cast<unsigned char>(letter);
    if (byte >= 0x20 && byte < 0x7F)
        return std::string("\"") + letter + "\"";
    static constexpr char HEX[] = "0123456789abcdef";
    return std::string("byte 0x") + HEX[byte >> 4] + HEX[byte & 0x0F];
}

// What the type letter says of the plaintext's bytes; empty for a letter
// that no reader takes.
std::string TypeOf(char letter)
{
    if (letter == static_cast<char>(TextType::Ansi))
        return "\"X\", text in the ANSI code page of the machine that wrote it";
    if (letter == static_cast<char>(TextType::Utf8))
        return "\"U\", UTF-8 text; the component reads it with TextEncoding \"UTF-8\" only";
    if (letter == static_cast<char>(TextType::Sealed))
        return "\"G\", sealed: UTF-8 text, authenticated; the component reads it with Format \"Sealed\" only";
    return {};
}

Verdict DescribeMarkedText(std::string_view text, std::string_view body, LoadedKey& key, std::string& report)
{
    AddLine(report, "form", FormOf(body));
    if (text.substr(0, START_MARKER_SIZE) != START_MARKER)
        AddLine(report, "note", "the first five bytes are not \"" + std::string(START_MARKER) +
                                    "\"; Decrypt does not look at them");
    const std::string damaged = std::string("damaged: Decrypt would report \"") + MSG_CODE_DAMAGED + "\"";
    const char letter = text[TYPE_LETTER_OFFSET];
    const std::string type = TypeOf(letter);
    if (type.empty()) {
        AddLine(report, "type letter", Quoted(letter) + ", not \"X\", \"U\" or \"G\"; " + damaged);
        return Verdict::Malformed;
    }
    AddLine(report, "type", type);
    Buffer envelope;
    if (Base64Decode(body.data(), body.size(), envelope) != Status::Ok) {
        AddLine(report, "body", "could not be decoded: out of memory");
        return Verdict::Malformed;
    }
    if (letter == static_cast<char>(TextType::Sealed))
        return DescribeSealedMessage({envelope.data(), envelope.size()}, key, report);
    if (envelope.size() < ENVELOPE_HEADER_SIZE) {
        AddLine(report, "body",
                "decodes to " + std::to_string(envelope.size()) + " bytes, fewer than the 8-byte header; " + damaged);
        return Verdict::Malformed;
    }
    return DescribeEnvelope(envelope.data(), envelope.size(), key.legacy, report,
                            letter == static_cast<char>(TextType::Utf8));
}

// A binary envelope is told from other bytes by its header's word counts.
bool LooksLikeEnvelope(const std::uint8_t* bytes, std::size_t size)
{
    EnvelopeHeader header;
    ParseEnvelopeHeader(bytes, size, header);  // the fields are read whenever there are 8 bytes
    return size > ENVELOPE_HEADER_SIZE && IsWordCount(header.blockLength) && IsWordCount(header.keyLength);
}

}  // namespace

std::uint32_t FormOptions(std::string_view body)
{
    SkipLineEnd(body);
    std::uint32_t options = 0;
    if (body.starts_with("<!--")) {
        options |= FORM_HTML_COMMENT;
        body.remove_prefix(4);
    }
    if (SkipLineEnd(body))
        options |= FORM_LINE_BREAKS;
    return options;
}

Inspection InspectMessage(const std::uint8_t* bytes, std::size_t size, LoadedKey& key)
{
    Inspection inspection{{}, Verdict::Malformed};
    std::string& report = inspection.report;
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);
    const bool isText = input.find('\0') == std::string_view::npos;
    // Line ends after the end marker are ignored, as zarnocrypt decrypt does.
    const std::string_view text = WithoutLineEnds(input);
    const Marking marking = isText ? FindMarking(text) : Marking{false, {}, "it holds zero bytes"};

    if (marking.marked) {
        inspection.verdict = DescribeMarkedText(text, marking.body, key, report);
    } else if (StartsSealedMessage({bytes, size})) {
        AddLine(report, "form", "sealed message (encrypt-bytes --sealed)");
        inspection.verdict = DescribeSealedMessage({bytes, size}, key, report);
    } else if (LooksLikeEnvelope(bytes, size)) {
        AddLine(report, "form", "binary envelope (encrypt-bytes)");
        inspection.verdict = DescribeEnvelope(bytes, size, key.legacy, report);
    } else if (isText) {
        AddLine(report, "form", "not a marked text: Decrypt would return it unchanged");
        AddLine(report, "reason", marking.reason, 1);
    } else {
        AddLine(report, "form", "neither a marked text nor an envelope");
        AddLine(report, "reason",
                size <= ENVELOPE_HEADER_SIZE
                    ? "it holds zero bytes, and an envelope has more than 8 bytes"
                    : "it holds zero bytes, and its bytes 4 and 5 are no block and key length (4, 6 or 8)",
                1);
        AddLine(report, "decrypt-bytes", std::string("would report \"") + MSG_CANNOT_DECRYPT + "\"", 1);
    }
    return inspection;
}

}  // namespace zarnocrypt::cli
