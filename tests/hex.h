// Hex strings for known-answer tables.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zarnocrypt::test {

inline std::vector<std::uint8_t> FromHex(std::string_view hex)
{
    auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(nibble(hex[i]) << 4 | nibble(hex[i + 1])));
    return bytes;
}

inline std::string ToHex(const std::uint8_t* bytes, std::size_t n)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < n; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
    }
    return hex;
}

inline std::string ToHex(const std::vector<std::uint8_t>& bytes)
{
    return ToHex(bytes.data(), bytes.size());
}

}  // namespace zarnocrypt::test
