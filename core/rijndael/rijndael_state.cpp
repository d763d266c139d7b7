#include "rijndael_state.h"

#include "cipher_path.h"
#include "rijndael_tables.h"
#include "status.h"

namespace zarnocrypt {

namespace {

constexpr int MAX_NB = 8;

// Row r is rotated left by C_r: (0, 1, 2, 3) up to 192-bit blocks, (0, 1, 3, 4) for 256.
int ShiftOffset(int row, int nb) noexcept
{
    if (nb > 6 && row >= 2)
        return row + 1;
    return row;
}

}  // namespace

std::int32_t RijndaelState::SetBlockLength(std::int32_t nb) noexcept
{
    nb_ = nb;
    return STATUS_OK;
}

std::int32_t RijndaelState::AttachKey(const RijndaelKey& key) noexcept
{
    if (!key.HasSchedule())
        return ERR_NO_KEY;
    key_ = &key;
    return STATUS_OK;
}

void RijndaelState::SetBlock(std::uint8_t* block) noexcept
{
    for (int r = 0; r < 4; ++r)
        rows_[r] = block + r * nb_;
}

std::int32_t RijndaelState::EncryptBlock() noexcept
{
    const std::int32_t nr = key_->Nr();
    AddRoundKey(0);
    for (std::int32_t round = 1; round < nr; ++round) {
        SubBytesShiftRows();
        MixColumns();
        AddRoundKey(round);
    }
    SubBytesShiftRows();
    AddRoundKey(nr);
    return STATUS_OK;
}

// The straightforward inverse cipher on the untransformed encryption schedule.
std::int32_t RijndaelState::DecryptBlock() noexcept
{
    const std::int32_t nr = key_->Nr();
    AddRoundKey(nr);
    InvShiftRowsInvSubBytes();
    for (std::int32_t round = nr - 1; round >= 1; --round) {
        AddRoundKey(round);
        InvMixColumns();
        InvShiftRowsInvSubBytes();
    }
    AddRoundKey(0);
    return STATUS_OK;
}

std::int32_t RijndaelState::EncryptBlocks(std::uint8_t* blocks, std::size_t count) noexcept
{
    zarnocrypt::EncryptBlocks(*key_, blocks, count);
    return STATUS_OK;
}

std::int32_t RijndaelState::DecryptBlocks(std::uint8_t* blocks, std::size_t count) noexcept
{
    zarnocrypt::DecryptBlocks(*key_, blocks, count);
    return STATUS_OK;
}

void RijndaelState::AddRoundKey(std::int32_t round) noexcept
{
    for (int r = 0; r < 4; ++r) {
        const std::uint8_t* roundKey = key_->RoundKeyRow(round, r);
        for (int c = 0; c < nb_; ++c)
            rows_[r][c] ^= roundKey[c];
    }
}

// new[c] = S[old[(c + C_r) mod Nb]], left to right after saving the first C_r bytes.
void RijndaelState::SubBytesShiftRows() noexcept
{
    for (int r = 0; r < 4; ++r) {
        std::uint8_t* row = rows_[r];
        const int shift = ShiftOffset(r, nb_);
        std::uint8_t saved[MAX_NB];
        for (int c = 0; c < shift; ++c)
            saved[c] = row[c];
        for (int c = 0; c < nb_ - shift; ++c)
            row[c] = tables::S_BOX[row[c + shift]];
        for (int c = nb_ - shift; c < nb_; ++c)
            row[c] = tables::S_BOX[saved[c - (nb_ - shift)]];
    }
}

// new[c] = Si[old[(c − C_r) mod Nb]], right to left after saving the last C_r bytes.
void RijndaelState::InvShiftRowsInvSubBytes() noexcept
{
    for (int r = 0; r < 4; ++r) {
        std::uint8_t* row = rows_[r];
        const int shift = ShiftOffset(r, nb_);
        std::uint8_t saved[MAX_NB];
        for (int c = 0; c < shift; ++c)
            saved[c] = row[nb_ - shift + c];
        for (int c = nb_ - 1; c >= shift; --c)
            row[c] = tables::INVERSE_S_BOX[row[c - shift]];
        for (int c = 0; c < shift; ++c)
            row[c] = tables::INVERSE_S_BOX[saved[c]];
    }
}

// b_j = 02·a_j ⊕ 03·a_(j+1) ⊕ a_(j+2) ⊕ a_(j+3) = a_j ⊕ t ⊕ 02·(a_j ⊕ a_(j+1)), t = ⊕ a_i.
void RijndaelState::MixColumns() noexcept
{
    for (int c = 0; c < nb_; ++c) {
        const std::uint8_t a[4] = {rows_[0][c], rows_[1][c], rows_[2][c], rows_[3][c]};
        const std::uint8_t t = a[0] ^ a[1] ^ a[2] ^ a[3];
        for (int j = 0; j < 4; ++j)
            rows_[j][c] = a[j] ^ t ^ tables::TIMES_2[a[j] ^ a[(j + 1) % 4]];
    }
}

// b_j = 09·t ⊕ 02·(a_j ⊕ a_(j+1)) ⊕ 04·(a_j ⊕ a_(j+2)) ⊕ a_j, t = ⊕ a_i,
// which equals the 0E 0B 0D 09 matrix of FIPS-197 5.3.3.
void RijndaelState::InvMixColumns() noexcept
{
    for (int c = 0; c < nb_; ++c) {
        const std::uint8_t a[4] = {rows_[0][c], rows_[1][c], rows_[2][c], rows_[3][c]};
        const std::uint8_t t9 = tables::TIMES_9[a[0] ^ a[1] ^ a[2] ^ a[3]];
        for (int j = 0; j < 4; ++j)
            rows_[j][c] = t9 ^ tables::TIMES_2[a[j] ^ a[(j + 1) % 4]] ^
                          tables::TIMES_4[a[j] ^ a[(j + 2) % 4]] ^ a[j];
    }
}

}  // namespace zarnocrypt
