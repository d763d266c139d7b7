#include "rijndael_reference.h"

#include <algorithm>

#include "rijndael_key.h"
#include "rijndael_nb.h"
#include "rijndael_tables.h"

namespace zarnocrypt {

namespace {


// The state is the caller's block itself: row r starts at block + r·Nb.
struct State {
    std::uint8_t* block;
    int nb;

    std::uint8_t* Row(int r) const noexcept { return block + r * nb; }
};

void AddRoundKey(const RijndaelKey& key, std::int32_t round, const State& s) noexcept
{
    for (int r = 0; r < 4; ++r) {
        const std::uint8_t* roundKey = key.RoundKeyRow(round, r);
        std::uint8_t* row = s.Row(r);
        for (int c = 0; c < s.nb; ++c)
            row[c] ^= roundKey[c];
    }
}

// Each row with its rotation C_r.
template <typename Step>
void EachRow(const State& s, Step step) noexcept
{
    for (int r = 0; r < 4; ++r)
        step(s.Row(r), ShiftOffset(r, s.nb));
}

// new[c] = S[old[(c + C_r) mod Nb]], left to right after saving the first C_r bytes.
void SubBytesShiftRows(const State& s) noexcept
{
    EachRow(s, [nb = s.nb](std::uint8_t* row, int shift) {
        std::uint8_t saved[MAX_NB];
        std::copy(row, row + shift, saved);
        for (int c = 0; c < nb - shift; ++c)
            row[c] = tables::S_BOX[row[c + shift]];
        for (int c = nb - shift; c < nb; ++c)
            row[c] = tables::S_BOX[saved[c - (nb - shift)]];
    });
}

// new[c] = Si[old[(c − C_r) mod Nb]], right to left after saving the last C_r bytes.
void InvShiftRowsInvSubBytes(const State& s) noexcept
{
    EachRow(s, [nb = s.nb](std::uint8_t* row, int shift) {
        std::uint8_t saved[MAX_NB];
        std::copy(row + nb - shift, row + nb, saved);
        for (int c = nb - 1; c >= shift; --c)
            row[c] = tables::INVERSE_S_BOX[row[c - shift]];
        for (int c = 0; c < shift; ++c)
            row[c] = tables::INVERSE_S_BOX[saved[c]];
    });
}

// b_j = 02·a_j ⊕ 03·a_(j+1) ⊕ a_(j+2) ⊕ a_(j+3) = a_j ⊕ t ⊕ 02·(a_j ⊕ a_(j+1)), t = ⊕ a_i.
void MixColumns(const State& s) noexcept
{
    for (int c = 0; c < s.nb; ++c) {
        const std::uint8_t a[4] = {s.Row(0)[c], s.Row(1)[c], s.Row(2)[c], s.Row(3)[c]};
        const std::uint8_t t = a[0] ^ a[1] ^ a[2] ^ a[3];
        for (int j = 0; j < 4; ++j)
            s.Row(j)[c] = a[j] ^ t ^ tables::TIMES_2[a[j] ^ a[(j + 1) % 4]];
    }
}

// b_j = 09·t ⊕ 02·(a_j ⊕ a_(j+1)) ⊕ 04·(a_j ⊕ a_(j+2)) ⊕ a_j, t = ⊕ a_i,
// which equals the 0E 0B 0D 09 matrix of FIPS-197 5.3.3.
void InvMixColumns(const State& s) noexcept
{
    for (int c = 0; c < s.nb; ++c) {
        const std::uint8_t a[4] = {s.Row(0)[c], s.Row(1)[c], s.Row(2)[c], s.Row(3)[c]};
        const std::uint8_t t9 = tables::TIMES_9[a[0] ^ a[1] ^ a[2] ^ a[3]];
        for (int j = 0; j < 4; ++j)
            s.Row(j)[c] = t9 ^ tables::TIMES_2[a[j] ^ a[(j + 1) % 4]] ^
                          tables::TIMES_4[a[j] ^ a[(j + 2) % 4]] ^ a[j];
    }
}

}  // namespace

void EncryptBlock(const RijndaelKey& key, std::uint8_t* block) noexcept
{
    if (!key.HasSchedule())
        return;
    const State s{block, key.Nb()};
    const std::int32_t nr = key.Nr();
    AddRoundKey(key, 0, s);
    for (std::int32_t round = 1; round < nr; ++round) {
        SubBytesShiftRows(s);
        MixColumns(s);
        AddRoundKey(key, round, s);
    }
    SubBytesShiftRows(s);
    AddRoundKey(key, nr, s);
}

// The straightforward inverse cipher on the untransformed encryption schedule.
void DecryptBlock(const RijndaelKey& key, std::uint8_t* block) noexcept
{
    if (!key.HasSchedule())
        return;
    const State s{block, key.Nb()};
    const std::int32_t nr = key.Nr();
    AddRoundKey(key, nr, s);
    InvShiftRowsInvSubBytes(s);
    for (std::int32_t round = nr - 1; round >= 1; --round) {
        AddRoundKey(key, round, s);
        InvMixColumns(s);
        InvShiftRowsInvSubBytes(s);
    }
    AddRoundKey(key, 0, s);
}

}  // namespace zarnocrypt
