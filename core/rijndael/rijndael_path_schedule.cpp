#include "rijndael_path_schedule.h"

#include <cstring>

#include "rijndael_key.h"
#include "rijndael_vector_layout.h"

namespace zarnocrypt::path_schedule {

namespace {

// 02·b without a table or a branch: round keys are secret.
std::uint8_t Times2(std::uint8_t b) noexcept
{
    return static_cast<std::uint8_t>((b << 1) ^ (0x1B & -(b >> 7)));
}

// InvMixColumns of one column, as the decryption round instructions expect
// their round keys (the equivalent inverse cipher).
void InvMixColumn(std::uint8_t a[4]) noexcept
{
    const std::uint8_t t = a[0] ^ a[1] ^ a[2] ^ a[3];
    const std::uint8_t t9 = static_cast<std::uint8_t>(Times2(Times2(Times2(t))) ^ t);
    std::uint8_t b[4];
    for (int j = 0; j < 4; ++j)
        b[j] = static_cast<std::uint8_t>(t9 ^ Times2(a[j] ^ a[(j + 1) % 4]) ^
                                         Times2(Times2(a[j] ^ a[(j + 2) % 4])) ^ a[j]);
    for (int j = 0; j < 4; ++j)
        a[j] = b[j];
}

enum class Order { Rows, Columns, InverseMixedColumns };

void FillVectorRound(const RijndaelKey& key, std::int32_t round, Order order, std::uint8_t* unit) noexcept
{
    const int nb = key.Nb();
    const int blockBytes = vector_layout::BlockBytes(nb);
    for (int c = 0; c < nb; ++c) {
        std::uint8_t column[4];
        for (int r = 0; r < 4; ++r)
            column[r] = key.RoundKeyRow(round, r)[c];
        if (order == Order::InverseMixedColumns)
            InvMixColumn(column);
        for (int b = 0; b < vector_layout::BlocksPerUnit(nb); ++b)
            for (int r = 0; r < 4; ++r) {
                const int offset = order == Order::Rows ? r * nb + c : 4 * c + r;
                unit[b * blockBytes + offset] = column[r];
            }
    }
}

}  // namespace

void Build(const RijndaelKey& key, std::uint8_t* schedule) noexcept
{
    const std::int32_t nr = key.Nr();
    for (std::int32_t round = 0; round <= nr; ++round)
        for (int r = 0; r < 4; ++r) {
            std::uint64_t word = 0;
            for (int c = 0; c < key.Nb(); ++c)
                word |= std::uint64_t{key.RoundKeyRow(round, r)[c]} << (8 * c);
            std::memcpy(schedule + ROW_WORD_BYTES * (4 * round + r), &word, sizeof word);
        }

    std::uint8_t* encrypt = schedule + PortableBytes(nr);
    std::uint8_t* decrypt = encrypt + VectorBytes(nr);
    for (std::int32_t step = 0; step <= nr; ++step) {
        const bool outer = step == 0 || step == nr;
        FillVectorRound(key, step, outer ? Order::Rows : Order::Columns,
                        encrypt + VECTOR_ROUND_BYTES * step);
        FillVectorRound(key, nr - step, outer ? Order::Rows : Order::InverseMixedColumns,
                        decrypt + VECTOR_ROUND_BYTES * step);
    }
}

}  // namespace zarnocrypt::path_schedule
