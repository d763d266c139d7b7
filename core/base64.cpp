#include "base64.h"

#include <array>
#include <cstdint>
#include <limits>
#include <utility>

namespace zarnocrypt {
namespace {

constexpr char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char PAD = '=';

// Decode table: the 6-bit value, SKIP for bytes the decoder passes over,
// STOP for the two bytes that end the text (NUL and "=").
constexpr std::uint8_t SKIP = 0xFF;
constexpr std::uint8_t STOP = 0xFE;

constexpr std::array<std::uint8_t, 256> MakeDecodeTable() noexcept
{
    std::array<std::uint8_t, 256> table{};
    for (auto& entry : table)
        entry = SKIP;
    for (std::uint8_t value = 0; value < 64; ++value)
        table[static_cast<unsigned char>(ALPHABET[value])] = value;
    table[0] = STOP;
    table[static_cast<unsigned char>(PAD)] = STOP;
    return table;
}

constexpr std::array<std::uint8_t, 256> DECODE_TABLE = MakeDecodeTable();

// Writes characters into the output, putting a line feed after every
// lineLength characters (never, when lineLength is 0).
class LineWriter {
public:
    LineWriter(std::uint8_t* out, std::uint32_t lineLength) noexcept
        : out_(out), lineLength_(lineLength) {}

    void Put(char c) noexcept
    {
        out_[pos_++] = static_cast<std::uint8_t>(c);
        if (lineLength_ != 0 && ++column_ == lineLength_) {
            out_[pos_++] = '\n';
            column_ = 0;
        }
    }

    std::size_t Position() const noexcept { return pos_; }

private:
    std::uint8_t* out_;
    std::uint32_t lineLength_;
    std::uint32_t column_ = 0;
    std::size_t pos_ = 0;
};

std::size_t CountValues(const char* text, std::size_t maxLength) noexcept
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < maxLength; ++i) {
        const std::uint8_t value = DECODE_TABLE[static_cast<unsigned char>(text[i])];
        if (value == STOP)
            break;
        if (value != SKIP)
            ++count;
    }
    return count;
}

}  // namespace

Status Base64Encode(const std::uint8_t* bytes, std::uint32_t n, std::uint32_t lineLength,
                    Buffer& text) noexcept
{
    // T = 4·ceil(n/3) + 1 reaches 5.7e9 for n near 2^32: computed in 64 bits,
    // and the whole text with its line feeds (plus the NUL) must fit 32 bits.
    const std::uint64_t chars = 4 * ((std::uint64_t{n} + 2) / 3) + 1;
    const std::uint64_t total = chars + (lineLength != 0 ? chars / lineLength : 0);
    if (total >= std::numeric_limits<std::uint32_t>::max())
        return Status::TooLarge;

    Buffer encoded = Buffer::Allocate(static_cast<std::size_t>(total) + 1);
    if (!encoded)
        return Status::NoMemory;

    LineWriter out(encoded.data(), lineLength);
    std::uint32_t i = 0;
    for (; n - i >= 3; i += 3) {
        const std::uint8_t b0 = bytes[i], b1 = bytes[i + 1], b2 = bytes[i + 2];
        out.Put(ALPHABET[b0 >> 2]);
        out.Put(ALPHABET[((b0 & 0x03) << 4) | (b1 >> 4)]);
        out.Put(ALPHABET[((b1 & 0x0F) << 2) | (b2 >> 6)]);
        out.Put(ALPHABET[b2 & 0x3F]);
    }
    if (n - i == 1) {
        const std::uint8_t b0 = bytes[i];
        out.Put(ALPHABET[b0 >> 2]);
        out.Put(ALPHABET[(b0 & 0x03) << 4]);
        out.Put(PAD);
        out.Put(PAD);
    } else if (n - i == 2) {
        const std::uint8_t b0 = bytes[i], b1 = bytes[i + 1];
        out.Put(ALPHABET[b0 >> 2]);
        out.Put(ALPHABET[((b0 & 0x03) << 4) | (b1 >> 4)]);
        out.Put(ALPHABET[(b1 & 0x0F) << 2]);
        out.Put(PAD);
    }
    // The extra "=" that every text of this system carries.
    out.Put(PAD);

    // The NUL after the text is already there: Allocate zero-fills.
    encoded.Shrink(out.Position());
    text = std::move(encoded);
    return Status::Ok;
}

Status Base64Decode(const char* text, std::size_t length, Buffer& bytes) noexcept
{
    // Two passes: the first counts the values c, so that the buffer is
    // 3·floor(c/4) + 3 bytes, enough for any final partial group.
    const std::size_t count = CountValues(text, length);
    Buffer decoded = Buffer::Allocate(3 * (count / 4) + 3);
    if (!decoded)
        return Status::NoMemory;

    std::uint8_t* out = decoded.data();
    std::uint32_t group = 0;  // up to four 6-bit values, oldest highest
    std::size_t inGroup = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t value = DECODE_TABLE[static_cast<unsigned char>(text[i])];
        if (value == STOP)
            break;
        if (value == SKIP)
            continue;
        group = (group << 6) | value;
        if (++inGroup == 4) {
            *out++ = static_cast<std::uint8_t>(group >> 16);
            *out++ = static_cast<std::uint8_t>(group >> 8);
            *out++ = static_cast<std::uint8_t>(group);
            group = 0;
            inGroup = 0;
        }
    }
    // A final group of 2 or 3 values gives 1 or 2 bytes; one value alone is
    // dropped. Unused low bits are not checked.
    if (inGroup == 2) {
        *out++ = static_cast<std::uint8_t>(group >> 4);
    } else if (inGroup == 3) {
        *out++ = static_cast<std::uint8_t>(group >> 10);
        *out++ = static_cast<std::uint8_t>(group >> 2);
    }

    decoded.Shrink(static_cast<std::size_t>(out - decoded.data()));
    bytes = std::move(decoded);
    return Status::Ok;
}

}  // namespace zarnocrypt
