#include "text_forms.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base64.h"
#include "envelope.h"

namespace zarnocrypt {
namespace {

constexpr char COMMENT_OPENER[] = "<!--";
constexpr char COMMENT_CLOSER[] = "-->";

bool EndMarkerAt(const char* text, std::size_t pos) noexcept
{
    return std::memcmp(text + pos, END_MARKER, END_MARKER_SIZE) == 0;
}

// First end marker that starts on a character boundary, or length when there
// is none. Marker bytes are all single-byte characters, so a byte match on a
// boundary is a character match.
std::size_t FindEndMarkerMultibyte(const char* text, std::size_t length,
                                   const CodePage& codePage) noexcept
{
    for (std::size_t pos = 0; pos + END_MARKER_SIZE <= length;) {
        if (EndMarkerAt(text, pos))
            return pos;
        const bool lead = codePage.isLeadByte(static_cast<std::uint8_t>(text[pos]));
        pos += (lead && pos + 1 < length) ? 2 : 1;
    }
    return length;
}

bool IsAlreadyMarked(const char* text, std::size_t length, const CodePage& codePage) noexcept
{
    if (length < START_MARKER_SIZE + END_MARKER_SIZE ||
        std::memcmp(text, START_MARKER, START_MARKER_SIZE) != 0)
        return false;
    return FindEndMarkerMultibyte(text, length, codePage) == length - END_MARKER_SIZE;
}

class TextBuilder {
public:
    explicit TextBuilder(std::uint8_t* out) noexcept : out_(out) {}

    void Append(const void* bytes, std::size_t size) noexcept
    {
        std::memcpy(out_ + pos_, bytes, size);
        pos_ += size;
    }
    void Append(const char* text) noexcept { Append(text, std::strlen(text)); }
    void Append(char c) noexcept { out_[pos_++] = static_cast<std::uint8_t>(c); }

    std::size_t Position() const noexcept { return pos_; }

private:
    std::uint8_t* out_;
    std::size_t pos_ = 0;
};

Status BuildMarkedText(const Buffer& base64, std::uint32_t options, TextType type, Buffer& marked) noexcept
{
    const bool html = (options & FORM_HTML_COMMENT) != 0;
    const bool lineBreaks = (options & FORM_LINE_BREAKS) != 0;

    const std::size_t size = START_MARKER_SIZE + 2 +
                             (html ? sizeof COMMENT_OPENER - 1 + sizeof COMMENT_CLOSER - 1 : 0) +
                             (lineBreaks ? 2 : 0) + base64.size() + END_MARKER_SIZE;
    Buffer text = Buffer::Allocate(size + 1);  // zero-filled: the NUL is in place
    if (!text)
        return Status::NoMemory;

    TextBuilder out(text.data());
    out.Append(START_MARKER);
    out.Append(static_cast<char>(type));
    out.Append('\n');
    if (html)
        out.Append(COMMENT_OPENER);
    if (lineBreaks)
        out.Append('\n');
    out.Append(base64.data(), base64.size());
    if (lineBreaks)
        out.Append('\n');
    if (html)
        out.Append(COMMENT_CLOSER);
    out.Append(END_MARKER);

    text.Shrink(out.Position());
    marked = std::move(text);
    return Status::Ok;
}

// The type of the letter after the start marker, if readable takes it.
bool ReadableType(char letter, unsigned readable, TextType& type) noexcept
{
    if (letter == static_cast<char>(TextType::Ansi) && (readable & READ_ANSI) != 0)
        type = TextType::Ansi;
    else if (letter == static_cast<char>(TextType::Utf8) && (readable & READ_UTF8) != 0)
        type = TextType::Utf8;
    else if (letter == static_cast<char>(TextType::Sealed) && (readable & READ_SEALED) != 0)
        type = TextType::Sealed;
    else
        return false;
    return true;
}

// Whether the key decrypts a marked text, tried on a copy of its bytes: a
// message of another block length would otherwise re-schedule the key itself.
bool DecryptsWith(const char* text, std::size_t length, const RijndaelKey& key) noexcept
{
    RijndaelKey copy;
    if (copy.SetKeyLength(key.Nk() * 32) != Status::Ok || copy.SetKeyBytes(key.KeyBytes(), 4 * key.Nk()) != Status::Ok)
        return false;
    Buffer plaintext;
    return DecryptText(text, length, copy, plaintext, READ_ANSI | READ_UTF8) == Status::Ok;
}

}  // namespace

Status MarkBytes(const std::uint8_t* bytes, std::size_t size, std::uint32_t options, TextType type,
                 Buffer& marked) noexcept
{
    const auto size32 = static_cast<std::uint32_t>(size);
    if (size32 != size)
        return Status::TooLarge;
    const std::uint32_t lineLength = (options & FORM_LINE_BREAKS) != 0 ? FORM_LINE_LENGTH : 0;
    Buffer base64;
    if (const Status status = Base64Encode(bytes, size32, lineLength, base64);
        status != Status::Ok)
        return status;
    return BuildMarkedText(base64, options, type, marked);
}

Status UnmarkBytes(const char* text, std::size_t length, unsigned readable, TextType& type, Buffer& bytes) noexcept
{
    // The first five bytes stand for the start marker, whatever they are;
    // the text must end with the first end marker found after them.
    if (text == nullptr || length < START_MARKER_SIZE)
        return Status::NotMarked;
    const std::size_t end = FindEndMarker(text, length);
    if (end + END_MARKER_SIZE != length)
        return Status::NotMarked;
    if (!ReadableType(text[START_MARKER_SIZE], readable, type))
        return Status::Damaged;

    // The decoder skips line breaks of any kind and the comment delimiters.
    const std::size_t bodyStart = START_MARKER_SIZE + 1;
    if (const Status status = Base64Decode(text + bodyStart, end - bodyStart, bytes); status != Status::Ok)
        return status;
    return bytes.size() < ENVELOPE_HEADER_SIZE ? Status::Damaged : Status::Ok;
}

std::size_t FindEndMarker(const char* text, std::size_t length) noexcept
{
    for (std::size_t pos = START_MARKER_SIZE; pos + END_MARKER_SIZE <= length; ++pos) {
        if (EndMarkerAt(text, pos))
            return pos;
    }
    return length;
}

Status EncryptText(const char* text, const RijndaelKey& key, std::uint32_t options,
                   const CodePage& codePage, Buffer& marked, TextType type, bool strict) noexcept
{
    if (text == nullptr)
        text = "";  // no text encrypts like the empty one
    const std::size_t length = std::strlen(text);
    if (IsAlreadyMarked(text, length, codePage) && (!strict || DecryptsWith(text, length, key)))
        return Status::AlreadyMarked;

    // The text goes into the envelope with its terminating NUL.
    Buffer envelope;
    if (const Status status =
            EncryptEnvelope(key, reinterpret_cast<const std::uint8_t*>(text), length + 1, envelope);
        status != Status::Ok)
        return status;

    // Base64 of an envelope that fits 31 bits fits 32, so only memory can fail here.
    return MarkBytes(envelope.data(), envelope.size(), options, type, marked);
}

Status DecryptText(const char* text, std::size_t length, RijndaelKey& key, Buffer& plaintext,
                   unsigned readable, TextType* type) noexcept
{
    TextType found = TextType::Ansi;
    Buffer envelope;
    if (const Status status = UnmarkBytes(text, length, readable, found, envelope); status != Status::Ok)
        return status;
    if (!key.HasKeyBytes())
        return Status::NoKey;
    const Status status = DecryptEnvelope(key, envelope.data(), envelope.size(), plaintext);
    if (status == Status::Ok && type != nullptr)
        *type = found;
    return status;
}

std::size_t TextLength(const Buffer& plaintext) noexcept
{
    return static_cast<std::size_t>(std::find(plaintext.begin(), plaintext.end(), 0) - plaintext.begin());
}

std::string_view TrimWhiteSpace(std::string_view text) noexcept
{
    constexpr std::string_view WHITE_SPACE = " \t\r\n";
    const std::size_t first = text.find_first_not_of(WHITE_SPACE);
    if (first == std::string_view::npos)
        return text.substr(text.size());
    return text.substr(first, text.find_last_not_of(WHITE_SPACE) + 1 - first);
}

Status ReadMarkedText(std::string_view text, TextType& type, EnvelopeHeader& header) noexcept
{
    Buffer envelope;
    if (const Status status = UnmarkBytes(text.data(), text.size(), READ_ANSI | READ_UTF8, type, envelope);
        status != Status::Ok)
        return status;
    if (const Status status = ParseEnvelopeHeader(envelope.data(), envelope.size(), header); status != Status::Ok)
        return status;
    return header.expectedSize == envelope.size() ? Status::Ok : Status::Size;
}

bool IsMarkedUtf8(std::string_view text) noexcept
{
    return text.starts_with(START_MARKER) && FindEndMarker(text.data(), text.size()) + END_MARKER_SIZE == text.size();
}

}  // namespace zarnocrypt
