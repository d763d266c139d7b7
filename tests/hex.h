// Byte helpers of the native tests: hex for known-answer tables, buffers as
// vectors or strings, seeded random bytes, and the state layout.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "buffer.h"

namespace zarnocrypt::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes FromHex(std::string_view hex)
{
    auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    Bytes bytes;
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

inline std::string ToHex(const Bytes& bytes) { return ToHex(bytes.data(), bytes.size()); }
inline Bytes ToBytes(const Buffer& buffer) { return Bytes(buffer.begin(), buffer.end()); }
inline std::string AsString(const Buffer& buffer)
{
    return std::string(reinterpret_cast<const char*>(buffer.data()), buffer.size());
}

inline Bytes RandomBytes(std::mt19937& random, std::size_t n)
{
    Bytes bytes(n);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    return bytes;
}

// FIPS-197 and libmcrypt lay block byte r + 4c on state cell (r, c); ours is byte r·Nb + c.
inline Bytes ColumnsToRows(const Bytes& block, int nb)
{
    Bytes out(block.size());
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < nb; ++c)
            out[r * nb + c] = block[r + 4 * c];
    return out;
}

inline Bytes RowsToColumns(const Bytes& block, int nb)
{
    Bytes out(block.size());
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < nb; ++c)
            out[r + 4 * c] = block[r * nb + c];
    return out;
}

}  // namespace zarnocrypt::test
