#include "rijndael_key.h"

#include <cstring>

#include "cipher_path.h"
#include "rijndael_path_schedule.h"
#include "rijndael_tables.h"

namespace zarnocrypt {

namespace {

// Short key texts are padded with the inverse S-box entries from here on.
constexpr std::size_t KEY_PAD_START = 0x43;

std::int32_t ClampBlockLength(std::int32_t requested) noexcept
{
    if (requested >= 8)
        return 8;
    if (requested >= 6)
        return 6;
    return 4;
}

// Rounds follow the key length alone unless the block is 256 bits, so
// Nk = 4 with Nb = 6 runs 10 rounds where Rijndael proper runs 12.
std::int32_t RoundCount(std::int32_t nk, std::int32_t nb) noexcept
{
    if (nb == 8 || nk == 8)
        return 14;
    return nk == 6 ? 12 : 10;
}

}  // namespace

Status RijndaelKey::SetKeyLength(std::int32_t bits) noexcept
{
    if (bits != 128 && bits != 192 && bits != 256)
        return Status::KeyLength;
    nk_ = bits / 32;
    return Status::Ok;
}

Status RijndaelKey::SetKeyBytes(const std::uint8_t* bytes, std::int32_t n) noexcept
{
    keyBytes_.Reset();
    expandedKey_.Reset();
    pathSchedule_.Reset();
    if (bytes == nullptr) {
        nk_ = 4;
        return Status::Ok;
    }

    const std::size_t size = 4 * static_cast<std::size_t>(nk_);
    keyBytes_ = Buffer::Allocate(size);
    if (!keyBytes_) {
        nk_ = 4;
        return Status::NoMemory;
    }
    const std::size_t given = n < 0 ? 0 : static_cast<std::size_t>(n);
    const std::size_t copied = given < size ? given : size;
    std::memcpy(keyBytes_.data(), bytes, copied);
    for (std::size_t i = copied; i < size; ++i)
        keyBytes_.data()[i] = tables::INVERSE_S_BOX[KEY_PAD_START + (i - copied)];
    return Status::Ok;
}

Status RijndaelKey::SetKeyText(const char* text, std::size_t n) noexcept
{
    if (text == nullptr || n == 0)
        return SetKeyBytes(nullptr, 0);
    SetKeyLength(n >= 32 ? 256 : n < 24 ? 128 : 192);
    // Only the first 32 bytes are ever used, so the count may saturate.
    const std::int32_t count = n > 32 ? 32 : static_cast<std::int32_t>(n);
    return SetKeyBytes(reinterpret_cast<const std::uint8_t*>(text), count);
}

Status RijndaelKey::BuildSchedule(std::int32_t requested) noexcept
{
    if (!keyBytes_)
        return Status::NoKey;

    const std::int32_t nb = ClampBlockLength(requested);
    const std::int32_t nr = RoundCount(nk_, nb);
    const std::size_t columns = static_cast<std::size_t>((nr + 1) * nb);

    // Both buffers are taken before the old schedule goes: for want of memory
    // the key stays as it was, still able to encrypt with its block length.
    Buffer schedule = Buffer::Allocate(4 * columns);
    Buffer pathSchedule = Buffer::Allocate(path_schedule::Size(nr));
    if (!schedule || !pathSchedule)
        return Status::NoMemory;

    // Column i, row j lives at j·columns + i.
    std::uint8_t* w = schedule.data();
    const std::size_t nk = static_cast<std::size_t>(nk_);
    for (std::size_t i = 0; i < nk; ++i)
        for (std::size_t j = 0; j < 4; ++j)
            w[j * columns + i] = keyBytes_.data()[4 * i + j];

    // The round constant is doubled after each use with no table, so long
    // schedules continue past 0x36 (0x6C, 0xD8, 0xAB, ...).
    std::uint8_t rc = 0x01;
    for (std::size_t i = nk; i < columns; ++i) {
        // The previous column, rotated up by one row where a key's length starts.
        const std::size_t rotation = i % nk == 0 ? 1 : 0;
        std::uint8_t t[4];
        for (std::size_t j = 0; j < 4; ++j)
            t[j] = w[((j + rotation) % 4) * columns + i - 1];
        if (i % nk == 0) {
            ScheduleSubWord(t);
            t[0] ^= rc;
            rc = tables::TIMES_2[rc];
        } else if (nk > 6 && i % nk == 4) {
            ScheduleSubWord(t);
        }
        for (std::size_t j = 0; j < 4; ++j)
            w[j * columns + i] = w[j * columns + i - nk] ^ t[j];
        SecureWipe(t, sizeof t);
    }

    expandedKey_ = std::move(schedule);
    pathSchedule_ = std::move(pathSchedule);
    nb_ = nb;
    nr_ = nr;
    path_schedule::Build(*this, pathSchedule_.data());
    return Status::Ok;
}

const std::uint8_t* RijndaelKey::RoundKeyRow(std::int32_t round, std::int32_t row) const noexcept
{
    if (!expandedKey_)
        return nullptr;
    const std::size_t columns = static_cast<std::size_t>((nr_ + 1) * nb_);
    return expandedKey_.data() + static_cast<std::size_t>(row) * columns +
           static_cast<std::size_t>(round * nb_);
}

}  // namespace zarnocrypt
