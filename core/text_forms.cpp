#include "text_forms.h"

#include <cstring>
#include <limits>
#include <utility>

#include "base64.h"
#include "envelope.h"

namespace zarnocrypt {
namespace {

constexpr std::size_t START_MARKER_SIZE = sizeof START_MARKER - 1;
constexpr std::size_t END_MARKER_SIZE = sizeof END_MARKER - 1;
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

// Plain byte search from start, as the decrypting side has always read it.
std::size_t FindEndMarker(const char* text, std::size_t start, std::size_t length) noexcept
{
    for (std::size_t pos = start; pos + END_MARKER_SIZE <= length; ++pos) {
        if (EndMarkerAt(text, pos))
            return pos;
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

Buffer BuildMarkedText(const Buffer& base64, std::uint32_t options) noexcept
{
    const bool html = (options & FORM_HTML_COMMENT) != 0;
    const bool lineBreaks = (options & FORM_LINE_BREAKS) != 0;

    const std::size_t size = START_MARKER_SIZE + 2 +
                             (html ? sizeof COMMENT_OPENER - 1 + sizeof COMMENT_CLOSER - 1 : 0) +
                             (lineBreaks ? 2 : 0) + base64.size() + END_MARKER_SIZE;
    Buffer marked = Buffer::Allocate(size + 1);  // zero-filled: the NUL is in place
    if (!marked)
        return {};

    TextBuilder out(marked.data());
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

    marked.Shrink(out.Position());
    return marked;
}

}  // namespace

EncryptTextResult EncryptText(const char* text, RijndaelKey& key, std::uint32_t options,
                              const CodePage& codePage) noexcept
{
    if (text == nullptr)
        return {EncryptTextOutcome::Failed, {}};

    // The envelope takes the text with its NUL as a signed 32-bit length.
    const std::size_t length = std::strlen(text);
    if (length > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) - 1)
        return {EncryptTextOutcome::Failed, {}};

    if (IsAlreadyMarked(text, length, codePage))
        return {EncryptTextOutcome::AlreadyMarked, {}};

    EnvelopeCodec codec;
    codec.BindKey(key);
    const Buffer envelope = codec.EncryptEnvelope(reinterpret_cast<const std::uint8_t*>(text),
                                                  static_cast<std::int32_t>(length + 1));
    if (!envelope)
        return {codec.OutOfMemory() ? EncryptTextOutcome::OutOfMemory : EncryptTextOutcome::Failed, {}};

    // Base64 of an envelope that fits 31 bits fits 32, so only memory can fail here.
    const std::uint32_t lineLength = (options & FORM_LINE_BREAKS) != 0 ? FORM_LINE_LENGTH : 0;
    const Buffer base64 =
        Base64Encode(envelope.data(), static_cast<std::uint32_t>(envelope.size()), lineLength);
    if (!base64)
        return {EncryptTextOutcome::OutOfMemory, {}};

    Buffer marked = BuildMarkedText(base64, options);
    if (!marked)
        return {EncryptTextOutcome::OutOfMemory, {}};
    return {EncryptTextOutcome::Encrypted, std::move(marked)};
}

DecryptTextResult DecryptText(const char* text, RijndaelKey& key) noexcept
{
    if (text == nullptr)
        return {DecryptTextOutcome::NotMarked, {}};

    // The first five bytes stand for the start marker, whatever they are;
    // the text must end with the first end marker found after them.
    const std::size_t length = std::strlen(text);
    if (length < START_MARKER_SIZE)
        return {DecryptTextOutcome::NotMarked, {}};
    const std::size_t end = FindEndMarker(text, START_MARKER_SIZE, length);
    if (end + END_MARKER_SIZE != length)
        return {DecryptTextOutcome::NotMarked, {}};

    if (text[START_MARKER_SIZE] != TYPE_LETTER)
        return {DecryptTextOutcome::Damaged, {}};

    // The decoder skips line breaks of any kind and the comment delimiters.
    const std::size_t bodyStart = START_MARKER_SIZE + 1;
    const Buffer envelope = Base64Decode(text + bodyStart, end - bodyStart);
    if (!envelope)
        return {DecryptTextOutcome::OutOfMemory, {}};
    if (envelope.size() < ENVELOPE_HEADER_SIZE)
        return {DecryptTextOutcome::Damaged, {}};

    if (!key.HasKeyBytes())
        return {DecryptTextOutcome::NoKey, {}};

    // An envelope beyond a signed 32-bit size never came from EncryptEnvelope.
    if (envelope.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        return {DecryptTextOutcome::Failed, {}};

    EnvelopeCodec codec;
    codec.BindKey(key);
    std::int32_t plaintextLength = 0;
    Buffer plaintext = codec.DecryptEnvelope(envelope.data(),
                                             static_cast<std::int32_t>(envelope.size()),
                                             plaintextLength);
    if (!plaintext)
        return {codec.OutOfMemory() ? DecryptTextOutcome::OutOfMemory : DecryptTextOutcome::Failed, {}};
    return {DecryptTextOutcome::Decrypted, std::move(plaintext), plaintextLength};
}

}  // namespace zarnocrypt
