#include "text_forms.h"

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

Status BuildMarkedText(const Buffer& base64, std::uint32_t options, Buffer& marked) noexcept
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
    out.Append(TYPE_LETTER);
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

}  // namespace

std::size_t FindEndMarker(const char* text, std::size_t length) noexcept
{
    for (std::size_t pos = START_MARKER_SIZE; pos + END_MARKER_SIZE <= length; ++pos) {
        if (EndMarkerAt(text, pos))
            return pos;
    }
    return length;
}

Status EncryptText(const char* text, const RijndaelKey& key, std::uint32_t options,
                   const CodePage& codePage, Buffer& marked) noexcept
{
    if (text == nullptr)
        text = "";  // no text encrypts like the empty one
    const std::size_t length = std::strlen(text);
    if (IsAlreadyMarked(text, length, codePage))
        return Status::AlreadyMarked;

    // The text goes into the envelope with its terminating NUL.
    Buffer envelope;
    if (const Status status =
            EncryptEnvelope(key, reinterpret_cast<const std::uint8_t*>(text), length + 1, envelope);
        status != Status::Ok)
        return status;

    // Base64 of an envelope that fits 31 bits fits 32, so only memory can fail here.
    const std::uint32_t lineLength = (options & FORM_LINE_BREAKS) != 0 ? FORM_LINE_LENGTH : 0;
    Buffer base64;
    if (const Status status =
            Base64Encode(envelope.data(), static_cast<std::uint32_t>(envelope.size()), lineLength, base64);
        status != Status::Ok)
        return status;
    return BuildMarkedText(base64, options, marked);
}

Status DecryptText(const char* text, std::size_t length, RijndaelKey& key, Buffer& plaintext) noexcept
{
    // The first five bytes stand for the start marker, whatever they are;
    // the text must end with the first end marker found after them.
    if (text == nullptr || length < START_MARKER_SIZE)
        return Status::NotMarked;
    const std::size_t end = FindEndMarker(text, length);
    if (end + END_MARKER_SIZE != length)
        return Status::NotMarked;

    if (text[START_MARKER_SIZE] != TYPE_LETTER)
        return Status::Damaged;

    // The decoder skips line breaks of any kind and the comment delimiters.
    const std::size_t bodyStart = START_MARKER_SIZE + 1;
    Buffer envelope;
    if (const Status status = Base64Decode(text + bodyStart, end - bodyStart, envelope); status != Status::Ok)
        return status;
    if (envelope.size() < ENVELOPE_HEADER_SIZE)
        return Status::Damaged;

    if (!key.HasKeyBytes())
        return Status::NoKey;
    return DecryptEnvelope(key, envelope.data(), envelope.size(), plaintext);
}

}  // namespace zarnocrypt
