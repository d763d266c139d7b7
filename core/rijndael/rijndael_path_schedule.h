// The key schedule rearranged for the fast cipher paths, built once with the
// key's schedule and cached beside it (and wiped with it).
//
//   portable rows:   (Nr + 1)·4 native 64-bit words; round r, row j is word
//                    4r + j, column c in bits 8c to 8c + 7
//   vector encrypt:  (Nr + 1) units of 64 bytes, one per round in encryption order
//   vector decrypt:  (Nr + 1) units, in decryption order, for the equivalent
//                    inverse cipher (InvMixColumns applied to the middle rounds)
//
// Vector round keys repeat the block's round key for every block of a unit
// (vector_layout.h): row by row for the first and last rounds, which meet
// the block in memory order, column by column for the others.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarnocrypt {

class RijndaelKey;

namespace path_schedule {

inline constexpr std::size_t ROW_WORD_BYTES = 8;
inline constexpr std::size_t VECTOR_ROUND_BYTES = 64;

constexpr std::size_t PortableBytes(std::int32_t nr)
{
    return 4 * ROW_WORD_BYTES * static_cast<std::size_t>(nr + 1);
}

constexpr std::size_t VectorBytes(std::int32_t nr)
{
    return VECTOR_ROUND_BYTES * static_cast<std::size_t>(nr + 1);
}

constexpr std::size_t Size(std::int32_t nr)
{
    return PortableBytes(nr) + 2 * VectorBytes(nr);
}

inline const std::uint8_t* PortableRows(const std::uint8_t* schedule, std::int32_t)
{
    return schedule;
}

inline const std::uint8_t* VectorEncrypt(const std::uint8_t* schedule, std::int32_t nr)
{
    return schedule + PortableBytes(nr);
}

inline const std::uint8_t* VectorDecrypt(const std::uint8_t* schedule, std::int32_t nr)
{
    return schedule + PortableBytes(nr) + VectorBytes(nr);
}

// Fills Size(key.Nr()) zeroed bytes from the key's schedule.
void Build(const RijndaelKey& key, std::uint8_t* schedule) noexcept;

}  // namespace path_schedule
}  // namespace zarnocrypt
