#include "utf8.h"

namespace zarnocrypt {
namespace {

// The range of a sequence's second byte, after its lead byte, per the table
// of RFC 3629, section 4; every later byte is 0x80 to 0xBF.
struct Sequence {
    std::size_t length;
    std::uint8_t low;
    std::uint8_t high;
};

Sequence SequenceOf(std::uint8_t lead) noexcept
{
    if (lead < 0x80)
        return {1, 0, 0};
    if (lead >= 0xC2 && lead <= 0xDF)
        return {2, 0x80, 0xBF};
    if (lead == 0xE0)
        return {3, 0xA0, 0xBF};  // no overlong three-byte form
    if (lead == 0xED)
        return {3, 0x80, 0x9F};  // no surrogates
    if (lead >= 0xE1 && lead <= 0xEF)
        return {3, 0x80, 0xBF};
    if (lead == 0xF0)
        return {4, 0x90, 0xBF};  // no overlong four-byte form
    if (lead >= 0xF1 && lead <= 0xF3)
        return {4, 0x80, 0xBF};
    if (lead == 0xF4)
        return {4, 0x80, 0x8F};  // nothing above U+10FFFF
    return {0, 0, 0};            // 0x80 to 0xC1 and 0xF5 up never lead
}

}  // namespace

bool IsValidUtf8(const std::uint8_t* bytes, std::size_t size) noexcept
{
    for (std::size_t i = 0; i < size;) {
        const Sequence sequence = SequenceOf(bytes[i]);
        if (sequence.length == 0 || sequence.length > size - i)
            return false;
        if (sequence.length > 1 && (bytes[i + 1] < sequence.low || bytes[i + 1] > sequence.high))
            return false;
        for (std::size_t k = 2; k < sequence.length; ++k) {
            if (bytes[i + k] < 0x80 || bytes[i + k] > 0xBF)
                return false;
        }
        i += sequence.length;
    }
    return true;
}

}  // namespace zarnocrypt
