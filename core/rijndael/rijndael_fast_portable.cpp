// The portable fast cipher: the same byte-oriented, table-driven rounds as the
// reference, with each state row held in one 64-bit word (a row has at most
// 8 bytes). ShiftRows becomes a choice of source byte, MixColumns and
// InvMixColumns work on all columns at once (and on two rows at once where
// 128-bit registers exist), and AddRoundKey is one XOR per row.
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

// 02·b in every byte of a row, or of two rows, at once: high − (high >> 7) is
// 0x7F in each byte whose top bit is set, and masks the reduction 0x1B into
// exactly those bytes.
template <typename Rows>
inline Rows Times2(Rows x) noexcept
{
    const Rows high = x & HIGH_BITS;
    return ((x & LOW_BITS) << 1) ^ ((high - (high >> 7)) & REDUCTION);
}

// The linear part of a middle round and its round key: MixColumns then the
// key, or, undoing it, the key then InvMixColumns. With d_j = a_j ⊕ a_(j+1),
// x_j = 02·d_j and t = ⊕ a_i = d_0 ⊕ d_2 = d_1 ⊕ d_3:
//   MixColumns (02 03 01 01):     b_j = a_j ⊕ t ⊕ x_j
//   InvMixColumns (0E 0B 0D 09) = 08·(1 1 1 1) ⊕ (0 1 1 1) ⊕ 02·(1 1 0 0) ⊕ 04·(1 0 1 0):
//                                 b_j = a_j ⊕ t ⊕ 08·t ⊕ x_j ⊕ y_j
// with y_j = 04·(a_j ⊕ a_(j+2)) = 02·(x_j ⊕ x_(j+1)), y_2 = y_0, y_3 = y_1, and
// 08·t = 02·(y_0 ⊕ y_1).
#if defined(__SSE2__) || defined(__ARM_NEON)
// Rows j and j + 2 share every term but a_j and x_j, so the pairs (0, 1) and
// (2, 3) take the same steps, each pair in one 128-bit register.
using RowPair = Word __attribute__((vector_size(2 * sizeof(Word))));

template <bool DECRYPT>
inline void MixAndAddKey(State& s, const std::uint8_t* roundKey) noexcept
{
    RowPair key01, key23;
    std::memcpy(&key01, roundKey, sizeof key01);
    std::memcpy(&key23, roundKey + sizeof key01, sizeof key23);
    RowPair a01 = {s.row[0], s.row[1]};
    RowPair a23 = {s.row[2], s.row[3]};
    if constexpr (DECRYPT) {
        a01 ^= key01;
        a23 ^= key23;
    }
    const RowPair d01 = a01 ^ RowPair{a01[1], a23[0]};
    const RowPair d23 = a23 ^ RowPair{a23[1], a01[0]};
    const RowPair x01 = Times2(d01);
    const RowPair x23 = Times2(d23);
    RowPair add = d01 ^ d23;  // (t, t)
    if constexpr (DECRYPT) {
        const RowPair y = Times2(x01 ^ RowPair{x01[1], x23[0]});
        add ^= y ^ Times2(y ^ RowPair{y[1], y[0]});
    }
    a01 ^= add ^ x01;
    a23 ^= add ^ x23;
    if constexpr (!DECRYPT) {
        a01 ^= key01;
        a23 ^= key23;
    }
    s.row[0] = a01[0];
    s.row[1] = a01[1];
    s.row[2] = a23[0];
    s.row[3] = a23[1];
}
#else
// Row by row, where two rows do not fit one register. The x_j sum to zero,
// so x_3 costs two XORs.
struct Differences {
    Word t;
    Word x[4];
};

inline Differences DoubledDifferences(const State& s) noexcept
{
    const Word d0 = s.row[0] ^ s.row[1];
    const Word d1 = s.row[1] ^ s.row[2];
    const Word d2 = s.row[2] ^ s.row[3];
    Differences d;
    d.t = d0 ^ d2;
    d.x[0] = Times2(d0);
    d.x[1] = Times2(d1);
    d.x[2] = Times2(d2);
    d.x[3] = d.x[0] ^ d.x[1] ^ d.x[2];
    return d;
}

inline void MixColumns(State& s) noexcept
{
    const Differences d = DoubledDifferences(s);
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j)
        s.row[j] ^= d.t ^ d.x[j];
}

inline void InvMixColumns(State& s) noexcept
{
    const Differences d = DoubledDifferences(s);
    const Word y0 = Times2(d.x[0] ^ d.x[1]);
    const Word y1 = Times2(d.x[1] ^ d.x[2]);
    const Word all = d.t ^ Times2(y0 ^ y1);
    const Word even = all ^ y0;
    const Word odd = all ^ y1;
    s.row[0] ^= even ^ d.x[0];
    s.row[1] ^= odd ^ d.x[1];
    s.row[2] ^= even ^ d.x[2];
    s.row[3] ^= odd ^ d.x[3];
}

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
#endif

// N blocks side by side. Decryption runs the same steps inverted, with the
// round keys taken from the last. Every step is inlined: 32-bit builds
// otherwise keep some as calls, which cost more than the steps.
template <int NB, int N, bool DECRYPT>
[[gnu::flatten]] void Group(const std::uint8_t* rows, std::int32_t nr, const std::uint8_t* in,
                            std::uint8_t* out) noexcept
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
