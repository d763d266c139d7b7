// The portable fast cipher: the same byte-oriented, table-driven rounds as the
// reference, with each state row held in one 64-bit word (a row has at most
// 8 bytes). ShiftRows becomes a choice of source byte, MixColumns and
// InvMixColumns work on all columns at once, and AddRoundKey is one XOR per row.
#include <cstring>

#include "cipher_implementations.h"
#include "rijndael_key.h"
#include "rijndael_nb.h"
#include "rijndael_path_schedule.h"
#include "rijndael_tables.h"

namespace zarnocrypt::cipher_paths {

namespace {

using Word = std::uint64_t;

constexpr Word LOW_BITS = 0x7F7F7F7F7F7F7F7Full;
constexpr Word HIGH_BITS = 0x8080808080808080ull;
constexpr Word REDUCTION = 0x1B1B1B1B1B1B1B1Bull;

// Blocks transformed side by side: one block's rounds are a dependency chain
// that leaves most of the processor idle. 32-bit code has few registers.
constexpr int INTERLEAVE = sizeof(void*) == 8 ? 4 : 2;

struct State {
    Word row[4];
};

// 02·b in every byte at once: high − (high >> 7) is 0x7F in each byte whose
// top bit is set, and masks the reduction 0x1B into exactly those bytes.
inline Word Times2(Word x) noexcept
{
    const Word high = x & HIGH_BITS;
    return ((x & LOW_BITS) << 1) ^ ((high - (high >> 7)) & REDUCTION);
}

// 04·b in every byte at once: bit 7 reduces to 0x36, bit 6 to 0x1B.
inline Word Times4(Word x) noexcept
{
    const Word bit7 = x & HIGH_BITS;
    const Word bit6 = x & (HIGH_BITS >> 1);
    return ((x & 0x3F3F3F3F3F3F3F3Full) << 2) ^ ((bit7 - (bit7 >> 7)) & (REDUCTION << 1)) ^
           ((bit6 - (bit6 >> 6)) & REDUCTION);
}

inline Word Byte(Word row, int column) noexcept
{
    return (row >> (8 * column)) & 0xFF;
}

template <int NB>
inline State Load(const std::uint8_t* block) noexcept
{
    State s;
#pragma GCC unroll 8
    for (int r = 0; r < 4; ++r) {
        Word w = 0;
#pragma GCC unroll 8
        for (int c = 0; c < NB; ++c)
            w |= Word{block[r * NB + c]} << (8 * c);
        s.row[r] = w;
    }
    return s;
}

template <int NB>
inline void Store(const State& s, std::uint8_t* block) noexcept
{
#pragma GCC unroll 8
    for (int r = 0; r < 4; ++r)
#pragma GCC unroll 8
        for (int c = 0; c < NB; ++c)
            block[r * NB + c] = static_cast<std::uint8_t>(Byte(s.row[r], c));
}

inline void AddRoundKey(State& s, const std::uint8_t* roundKey) noexcept
{
#pragma GCC unroll 8
    for (int r = 0; r < 4; ++r) {
        Word k;
        std::memcpy(&k, roundKey + path_schedule::ROW_WORD_BYTES * r, sizeof k);
        s.row[r] ^= k;
    }
}

// new[c] = S[old[(c + C_r) mod Nb]]; the inverse reads old[(c − C_r) mod Nb] through Si.
template <int NB, bool INVERSE>
inline void SubBytesShiftRows(State& s) noexcept
{
    const auto& box = INVERSE ? tables::INVERSE_S_BOX : tables::S_BOX;
#pragma GCC unroll 4
    for (int r = 0; r < 4; ++r) {
        const int shift = INVERSE ? NB - ShiftOffset(r, NB) : ShiftOffset(r, NB);
        // Old byte c goes to column c − shift: the bytes are taken lowest first,
        // shifting one word down, which costs fewer operations than picking each.
        Word old = s.row[r];
        Word w = 0;
#pragma GCC unroll 8
        for (int c = 0; c < NB; ++c, old >>= 8)
            w |= Word{box[old & 0xFF]} << (8 * ((c - shift + NB) % NB));
        s.row[r] = w;
    }
}

// b_j = a_j ⊕ t ⊕ 02·(a_j ⊕ a_(j+1)), t = ⊕ a_i, on every column at once.
inline void MixColumns(State& s) noexcept
{
    const Word a0 = s.row[0], a1 = s.row[1], a2 = s.row[2], a3 = s.row[3];
    const Word t = a0 ^ a1 ^ a2 ^ a3;
    s.row[0] = a0 ^ t ^ Times2(a0 ^ a1);
    s.row[1] = a1 ^ t ^ Times2(a1 ^ a2);
    s.row[2] = a2 ^ t ^ Times2(a2 ^ a3);
    s.row[3] = a3 ^ t ^ Times2(a3 ^ a0);
}

// InvMixColumns = MixColumns after a_j ⊕= 04·(a_j ⊕ a_(j+2)), since the inverse
// polynomial is the forward one times 04·x² + 05.
inline void InvMixColumns(State& s) noexcept
{
    const Word u = Times4(s.row[0] ^ s.row[2]);
    const Word v = Times4(s.row[1] ^ s.row[3]);
    s.row[0] ^= u;
    s.row[1] ^= v;
    s.row[2] ^= u;
    s.row[3] ^= v;
    MixColumns(s);
}

// The linear part of a middle round and its round key: MixColumns then the
// key, or, undoing it, the key then InvMixColumns.
template <bool DECRYPT>
inline void MixAndAddKey(State& s, const std::uint8_t* roundKey) noexcept
{
    if constexpr (DECRYPT) {
        AddRoundKey(s, roundKey);
        InvMixColumns(s);
    } else {
        MixColumns(s);
        AddRoundKey(s, roundKey);
    }
}

// N blocks side by side. Decryption runs the same steps inverted, with the
// round keys taken from the last.
template <int NB, int N, bool DECRYPT>
void Group(const std::uint8_t* rows, std::int32_t nr, const std::uint8_t* in, std::uint8_t* out) noexcept
{
    constexpr std::size_t ROUND_BYTES = 4 * path_schedule::ROW_WORD_BYTES;
    const auto roundKey = [&](std::int32_t step) { return rows + ROUND_BYTES * (DECRYPT ? nr - step : step); };
    State s[N];
#pragma GCC unroll 4
    for (int b = 0; b < N; ++b) {
        s[b] = Load<NB>(in + b * 4 * NB);
        AddRoundKey(s[b], roundKey(0));
    }
    for (std::int32_t step = 1; step < nr; ++step)
#pragma GCC unroll 4
        for (int b = 0; b < N; ++b) {
            SubBytesShiftRows<NB, DECRYPT>(s[b]);
            MixAndAddKey<DECRYPT>(s[b], roundKey(step));
        }
#pragma GCC unroll 4
    for (int b = 0; b < N; ++b) {
        SubBytesShiftRows<NB, DECRYPT>(s[b]);
        AddRoundKey(s[b], roundKey(nr));
        Store<NB>(s[b], out + b * 4 * NB);
    }
}

template <int NB, bool DECRYPT>
void AllBlocks(const std::uint8_t* rows, std::int32_t nr, const std::uint8_t* in, std::uint8_t* out,
               std::size_t count) noexcept
{
    std::size_t i = 0;
    for (; i + INTERLEAVE <= count; i += INTERLEAVE)
        Group<NB, INTERLEAVE, DECRYPT>(rows, nr, in + i * 4 * NB, out + i * 4 * NB);
    for (; i < count; ++i)
        Group<NB, 1, DECRYPT>(rows, nr, in + i * 4 * NB, out + i * 4 * NB);
}

}  // namespace

void PortableSubWord(std::uint8_t word[4]) noexcept
{
    for (int j = 0; j < 4; ++j)
        word[j] = tables::S_BOX[word[j]];
}

void PortableEncrypt(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept
{
    const std::uint8_t* rows = path_schedule::PortableRows(key.PathSchedule(), key.Nr());
    DispatchNb(key.Nb(), [&]<int NB> { AllBlocks<NB, false>(rows, key.Nr(), in, out, count); });
}

void PortableDecrypt(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept
{
    const std::uint8_t* rows = path_schedule::PortableRows(key.PathSchedule(), key.Nr());
    DispatchNb(key.Nb(), [&]<int NB> { AllBlocks<NB, true>(rows, key.Nr(), in, out, count); });
}

}  // namespace zarnocrypt::cipher_paths
