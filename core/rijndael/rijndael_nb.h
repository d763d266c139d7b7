// What every implementation of the cipher derives from the block length Nb.
#pragma once

#include <cstdint>

namespace zarnocrypt {

// The longest block: 8 words, 32 bytes.
inline constexpr int MAX_NB = 8;

// Row r is rotated left by C_r: (0, 1, 2, 3) up to 192-bit blocks, (0, 1, 3, 4) for 256.
constexpr int ShiftOffset(int row, int nb)
{
    return (nb > 6 && row >= 2) ? row + 1 : row;
}

// Calls run.template operator()<NB>() with the scheduled Nb (4, 6 or 8) as a
// constant, so that each implementation is compiled once per block length.
template <typename Run>
void DispatchNb(std::int32_t nb, Run&& run) noexcept
{
    switch (nb) {
    case 4:
        return run.template operator()<4>();
    case 6:
        return run.template operator()<6>();
    default:
        return run.template operator()<8>();
    }
}

}  // namespace zarnocrypt
