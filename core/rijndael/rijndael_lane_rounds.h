// The rounds of the accelerated paths that give each 16-byte lane of a unit
// (vector_layout.h) a register lane of its own and permute with in-lane byte
// shuffles: a register holds lane i of Lanes::UNITS consecutive units, and V
// registers hold them whole. Lanes supplies the register type and its
// operations:
//
//   Reg, UNITS, IN_FLIGHT (register groups whose rounds interleave)
//   Enc, EncLast, Dec, DecLast, Shuffle   the instructions, per register lane
//   Mask(p)      an aligned 16-byte shuffle mask in every register lane
//   RoundKey(p)  a 16-byte round key in every register lane
//   Load(p, stride) / Store(p, stride, x)   lane at p of each unit, units stride apart
//
// Blocks go from in to out, which are the same buffer or do not overlap: a
// group is loaded whole before any of it is stored.
//
// OR and XOR are the vector operators | and ^, which GCC and Clang compile
// to the instruction of each register width.
//
// The includer defines ZARNOCRYPT_LANES_TARGET as the target attribute of its
// instructions, and gives the same attribute to the members of Lanes: code
// compiled for fewer instructions could not inline them, and a call per
// instruction would cost most of the speed. The templates are static, so each
// including file has its own copy for its own target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "rijndael_path_schedule.h"
#include "rijndael_vector_layout.h"
#include "secure_wipe.h"

#ifndef ZARNOCRYPT_LANES_TARGET
#error "define ZARNOCRYPT_LANES_TARGET before including rijndael_lane_rounds.h"
#endif

namespace zarnocrypt::lane_rounds {

using namespace vector_layout;

template <typename Lanes, int NB, int N>
using Registers = typename Lanes::Reg[N][UsedLanes(NB)];

// Output lane i is the OR of input lanes j shuffled by their masks; pairs that
// contribute nothing are skipped at compile time.
template <typename Lanes, int NB, Kind KIND, int N>
ZARNOCRYPT_LANES_TARGET static inline void Permute(Registers<Lanes, NB, N>& x)
{
    using Reg = typename Lanes::Reg;
    constexpr int V = UsedLanes(NB);
    constexpr const LaneMasks& masks = LANE_MASKS<NB, KIND>;
    if constexpr (!masks.identity) {
#pragma GCC unroll 4
        for (int g = 0; g < N; ++g) {
            Reg y[V];
#pragma GCC unroll 4
            for (int i = 0; i < V; ++i) {
                bool first = true;
#pragma GCC unroll 4
                for (int j = 0; j < V; ++j) {
                    if (!masks.used[i][j])
                        continue;
                    const Reg part = Lanes::Shuffle(x[g][j], Lanes::Mask(masks.mask[i][j]));
                    y[i] = first ? part : y[i] | part;
                    first = false;
                }
            }
#pragma GCC unroll 4
            for (int i = 0; i < V; ++i)
                x[g][i] = y[i];
        }
    }
}

// A round (or the last) with the round key at roundKey on every register.
template <typename Lanes, int NB, int N, bool DECRYPT, bool LAST>
ZARNOCRYPT_LANES_TARGET static inline void Round(Registers<Lanes, NB, N>& x, const std::uint8_t* roundKey)
{
    constexpr int V = UsedLanes(NB);
#pragma GCC unroll 4
    for (int i = 0; i < V; ++i) {
        const typename Lanes::Reg k = Lanes::RoundKey(roundKey + LANE_BYTES * i);
#pragma GCC unroll 4
        for (int g = 0; g < N; ++g) {
            if constexpr (!LAST)
                x[g][i] = DECRYPT ? Lanes::Dec(x[g][i], k) : Lanes::Enc(x[g][i], k);
            else
                x[g][i] = DECRYPT ? Lanes::DecLast(x[g][i], k) : Lanes::EncLast(x[g][i], k);
        }
    }
}

// N groups of Lanes::UNITS whole units from in to out.
template <typename Lanes, int NB, int N, bool DECRYPT>
ZARNOCRYPT_LANES_TARGET static inline void Groups(const std::uint8_t* keys, std::int32_t nr, const std::uint8_t* in,
                                                  std::uint8_t* out)
{
    constexpr int V = UsedLanes(NB);
    constexpr int USED = UsedBytes(NB);
    constexpr int GROUP_BYTES = Lanes::UNITS * USED;
    constexpr std::size_t ROUND_BYTES = path_schedule::VECTOR_ROUND_BYTES;

    Registers<Lanes, NB, N> x;
#pragma GCC unroll 4
    for (int i = 0; i < V; ++i) {
        const typename Lanes::Reg k = Lanes::RoundKey(keys + LANE_BYTES * i);
#pragma GCC unroll 4
        for (int g = 0; g < N; ++g)
            x[g][i] = Lanes::Load(in + GROUP_BYTES * g + LANE_BYTES * i, USED) ^ k;
    }
    Permute<Lanes, NB, DECRYPT ? DECRYPT_FIRST : ENCRYPT_FIRST, N>(x);
    for (std::int32_t step = 1; step < nr; ++step) {
        if (step > 1)
            Permute<Lanes, NB, DECRYPT ? DECRYPT_MIDDLE : ENCRYPT_MIDDLE, N>(x);
        Round<Lanes, NB, N, DECRYPT, false>(x, keys + ROUND_BYTES * step);
    }
    Permute<Lanes, NB, DECRYPT ? DECRYPT_LAST : ENCRYPT_LAST, N>(x);
    Round<Lanes, NB, N, DECRYPT, true>(x, keys + ROUND_BYTES * nr);
#pragma GCC unroll 4
    for (int i = 0; i < V; ++i)
#pragma GCC unroll 4
        for (int g = 0; g < N; ++g)
            Lanes::Store(out + GROUP_BYTES * g + LANE_BYTES * i, USED, x[g][i]);
}

template <typename Lanes, int NB, bool DECRYPT>
ZARNOCRYPT_LANES_TARGET static void AllBlocks(const std::uint8_t* keys, std::int32_t nr, const std::uint8_t* in,
                                              std::uint8_t* out, std::size_t count)
{
    constexpr int IN_FLIGHT = Lanes::IN_FLIGHT;
    constexpr std::size_t GROUP_BYTES = Lanes::UNITS * UsedBytes(NB);
    constexpr std::size_t PER_GROUP = Lanes::UNITS * BlocksPerUnit(NB);
    const std::size_t groups = count / PER_GROUP;
    std::size_t g = 0;
    for (; g + IN_FLIGHT <= groups; g += IN_FLIGHT)
        Groups<Lanes, NB, IN_FLIGHT, DECRYPT>(keys, nr, in + GROUP_BYTES * g, out + GROUP_BYTES * g);
    for (; g < groups; ++g)
        Groups<Lanes, NB, 1, DECRYPT>(keys, nr, in + GROUP_BYTES * g, out + GROUP_BYTES * g);

    // The last blocks that do not fill a group go through a group-sized temporary.
    const std::size_t rest = (count - groups * PER_GROUP) * BlockBytes(NB);
    if (rest != 0) {
        alignas(32) std::uint8_t group[Lanes::UNITS * UNIT_BYTES] = {};
        std::memcpy(group, in + GROUP_BYTES * groups, rest);
        Groups<Lanes, NB, 1, DECRYPT>(keys, nr, group, group);
        std::memcpy(out + GROUP_BYTES * groups, group, rest);
        SecureWipe(group, sizeof group);
    }
}

}  // namespace zarnocrypt::lane_rounds
