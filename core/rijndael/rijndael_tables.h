// Constant tables of Rijndael over GF(2^8) with the polynomial x^8 + x^4 + x^3 + x + 1.
//
// They are computed at compile time from the field arithmetic rather than
// typed in; the tests check them against FIPS-197 Figures 7 and 14.
#pragma once

#include <array>
#include <cstdint>

namespace zarnocrypt::tables {

using ByteTable = std::array<std::uint8_t, 256>;

constexpr std::uint8_t Times2(std::uint8_t b)
{
    return static_cast<std::uint8_t>((b << 1) ^ ((b & 0x80) ? 0x1B : 0x00));
}

constexpr std::uint8_t Multiply(std::uint8_t a, std::uint8_t b)
{
    std::uint8_t product = 0;
    for (; b != 0; b >>= 1, a = Times2(a))
        if (b & 1)
            product ^= a;
    return product;
}


constexpr std::uint8_t RotateLeft(std::uint8_t b, int n)
{
    return static_cast<std::uint8_t>((b << n) | (b >> (8 - n)));
}

// Multiplicative inverses, with 0 mapped to 0. The powers of the generator 03
// run through all 255 non-zero elements, so b^-1 = 03^(255 − log b).
constexpr ByteTable MakeInverses()
{
    ByteTable power{}, log{};
    std::uint8_t x = 1;
    for (int i = 0; i < 255; ++i) {
        power[i] = x;
        log[x] = static_cast<std::uint8_t>(i);
        x = static_cast<std::uint8_t>(x ^ Times2(x));
    }
    ByteTable inverse{};
    for (int b = 1; b < 256; ++b)
        inverse[b] = power[(255 - log[b]) % 255];
    return inverse;
}

// FIPS-197 5.1.1: inverse, then the affine map b ^ rot1 ^ rot2 ^ rot3 ^ rot4 ^ 0x63.
constexpr ByteTable MakeSBox()
{
    constexpr ByteTable inverses = MakeInverses();
    ByteTable box{};
    for (int i = 0; i < 256; ++i) {
        const std::uint8_t x = inverses[i];
        box[i] = static_cast<std::uint8_t>(x ^ RotateLeft(x, 1) ^ RotateLeft(x, 2) ^
                                           RotateLeft(x, 3) ^ RotateLeft(x, 4) ^ 0x63);
    }
    return box;
}

constexpr ByteTable MakeInverse(const ByteTable& box)
{
    ByteTable inverse{};
    for (int i = 0; i < 256; ++i)
        inverse[box[i]] = static_cast<std::uint8_t>(i);
    return inverse;
}

constexpr ByteTable MakeProductTable(std::uint8_t factor)
{
    ByteTable table{};
    for (int i = 0; i < 256; ++i)
        table[i] = Multiply(static_cast<std::uint8_t>(i), factor);
    return table;
}

inline constexpr ByteTable S_BOX = MakeSBox();
inline constexpr ByteTable INVERSE_S_BOX = MakeInverse(S_BOX);
inline constexpr ByteTable TIMES_2 = MakeProductTable(2);
inline constexpr ByteTable TIMES_4 = MakeProductTable(4);
inline constexpr ByteTable TIMES_9 = MakeProductTable(9);

}  // namespace zarnocrypt::tables
