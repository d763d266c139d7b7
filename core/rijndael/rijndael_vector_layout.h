// How the accelerated paths hold blocks in vector registers.
//
// A unit is 64 bytes: 4 blocks of Nb = 4, 2 of Nb = 8, or 2 of Nb = 6 in its
// first 48 bytes. Inside a unit, each block is held column by column (byte
// 4c + r is state cell (r, c)), so its columns are the 4-byte columns of the
// AES round instructions, whose 16-byte lanes then cover whole columns.
//
// An AES round does ShiftRows of its own 4×4 lanes before SubBytes and
// MixColumns. A fixed byte permutation before each round, our ShiftRows
// followed by the inverse of AES's, makes it do ours for any Nb. The rows-to-
// columns rearrangement of the block is folded into the permutations before
// the first and the last round, so each round costs one permutation.
//
// Permutations are index tables: out[i] = in[index[i]]. Bytes past the used
// part of a unit map to themselves.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "rijndael_nb.h"

namespace zarnocrypt::vector_layout {

inline constexpr int UNIT_BYTES = 64;
inline constexpr int LANE_BYTES = 16;

constexpr int UsedBytes(int nb) { return nb == 6 ? 48 : UNIT_BYTES; }
constexpr int BlockBytes(int nb) { return 4 * nb; }
constexpr int BlocksPerUnit(int nb) { return UsedBytes(nb) / BlockBytes(nb); }
constexpr int UsedLanes(int nb) { return UsedBytes(nb) / LANE_BYTES; }

using Index = std::array<std::uint8_t, UNIT_BYTES>;

// The permutation applied before each kind of round.
enum Kind {
    ENCRYPT_FIRST,   // rows to columns, then our ShiftRows and AES's inverse
    ENCRYPT_MIDDLE,  // our ShiftRows and AES's inverse
    ENCRYPT_LAST,    // our ShiftRows, columns to rows, AES's inverse (for aesenclast)
    DECRYPT_FIRST,
    DECRYPT_MIDDLE,
    DECRYPT_LAST,
};

constexpr Index Identity()
{
    Index index{};
    for (int i = 0; i < UNIT_BYTES; ++i)
        index[i] = static_cast<std::uint8_t>(i);
    return index;
}

// Applies first, then second.
constexpr Index Then(const Index& first, const Index& second)
{
    Index index{};
    for (int i = 0; i < UNIT_BYTES; ++i)
        index[i] = first[second[i]];
    return index;
}

// Row-major block bytes (r·Nb + c) to the column layout (4c + r), or back.
constexpr Index Columns(int nb, bool toRows)
{
    Index index = Identity();
    const int blockBytes = BlockBytes(nb);
    for (int b = 0; b < BlocksPerUnit(nb); ++b)
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < nb; ++c) {
                const int rowMajor = b * blockBytes + r * nb + c;
                const int columnMajor = b * blockBytes + 4 * c + r;
                if (toRows)
                    index[rowMajor] = static_cast<std::uint8_t>(columnMajor);
                else
                    index[columnMajor] = static_cast<std::uint8_t>(rowMajor);
            }
    return index;
}

// Our ShiftRows in the column layout: out(r, c) = in(r, c ± C_r mod Nb).
constexpr Index OurShiftRows(int nb, bool inverse)
{
    Index index = Identity();
    const int blockBytes = BlockBytes(nb);
    for (int b = 0; b < BlocksPerUnit(nb); ++b)
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < nb; ++c) {
                const int shift = ShiftOffset(r, nb);
                const int from = inverse ? (c - shift + nb) % nb : (c + shift) % nb;
                index[b * blockBytes + 4 * c + r] = static_cast<std::uint8_t>(b * blockBytes + 4 * from + r);
            }
    return index;
}

// AES ShiftRows within each 16-byte lane: out(r, j) = in(r, j ± r mod 4).
constexpr Index AesShiftRows(bool inverse)
{
    Index index{};
    for (int lane = 0; lane < UNIT_BYTES / LANE_BYTES; ++lane)
        for (int r = 0; r < 4; ++r)
            for (int j = 0; j < 4; ++j) {
                const int from = inverse ? (j - r + 4) % 4 : (j + r) % 4;
                index[LANE_BYTES * lane + 4 * j + r] = static_cast<std::uint8_t>(LANE_BYTES * lane + 4 * from + r);
            }
    return index;
}

constexpr Index Permutation(int nb, Kind kind)
{
    const Index toColumns = Columns(nb, false);
    const Index toRows = Columns(nb, true);
    const Index shift = OurShiftRows(nb, false);
    const Index inverseShift = OurShiftRows(nb, true);
    const Index aesShift = AesShiftRows(false);
    const Index aesInverseShift = AesShiftRows(true);
    switch (kind) {
    case ENCRYPT_FIRST:
        return Then(toColumns, Then(shift, aesInverseShift));
    case ENCRYPT_MIDDLE:
        return Then(shift, aesInverseShift);
    case ENCRYPT_LAST:
        return Then(shift, Then(toRows, aesInverseShift));
    case DECRYPT_FIRST:
        return Then(toColumns, Then(inverseShift, aesShift));
    case DECRYPT_MIDDLE:
        return Then(inverseShift, aesShift);
    case DECRYPT_LAST:
        return Then(inverseShift, Then(toRows, aesShift));
    }
    return Identity();
}

template <int NB, Kind KIND>
inline constexpr Index PERMUTATION = Permutation(NB, KIND);

// pshufb masks: output lane i takes from input lane j the bytes whose index
// falls in lane j; 0x80 zeroes the others. Unused pairs are skipped.
struct LaneMasks {
    alignas(16) std::uint8_t mask[4][4][LANE_BYTES];
    bool used[4][4];
    bool identity;
};

constexpr LaneMasks MakeLaneMasks(const Index& index)
{
    LaneMasks masks{};
    masks.identity = index == Identity();
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < LANE_BYTES; ++k) {
                const int from = index[LANE_BYTES * i + k];
                const bool fromLane = from / LANE_BYTES == j;
                masks.mask[i][j][k] = static_cast<std::uint8_t>(fromLane ? from % LANE_BYTES : 0x80);
                masks.used[i][j] = masks.used[i][j] || fromLane;
            }
    return masks;
}

template <int NB, Kind KIND>
inline constexpr LaneMasks LANE_MASKS = MakeLaneMasks(PERMUTATION<NB, KIND>);

}  // namespace zarnocrypt::vector_layout
