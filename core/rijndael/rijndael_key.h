// The raw cipher key and its cached key schedule for one block length.
//
// States: Empty (no bytes, no schedule), Unscheduled (bytes only) and Ready
// (bytes and a schedule for one Nb). Key bytes and schedules are wiped
// before they are released or replaced.
#pragma once

#include <cstddef>
#include <cstdint>

#include "buffer.h"
#include "status.h"

namespace zarnocrypt {

class RijndaelKey {
public:
    RijndaelKey() = default;
    RijndaelKey(const RijndaelKey&) = delete;
    RijndaelKey& operator=(const RijndaelKey&) = delete;

    // 128, 192 or 256 set Nk to bits / 32; anything else is KeyLength and changes nothing.
    Status SetKeyLength(std::int32_t bits) noexcept;

    // Drops bytes and schedule, then takes 4·Nk bytes: the first n given bytes,
    // padded from the inverse S-box at 0x43 when n is short. Null empties the key;
    // so does NoMemory.
    Status SetKeyBytes(const std::uint8_t* bytes, std::int32_t n) noexcept;

    // The n bytes of a key text: n chooses Nk (<24: 128, <32: 192, else 256 bits)
    // and only the first 4·Nk bytes count. A null or empty text empties the key;
    // NoMemory leaves it empty too.
    Status SetKeyText(const char* text, std::size_t n) noexcept;

    // Expands the key for the requested block length (clamped to 4, 6 or 8)
    // and caches the schedule, replacing any previous one. NoKey without key
    // bytes; NoMemory keeps the previous schedule.
    Status BuildSchedule(std::int32_t requested) noexcept;

    bool HasKeyBytes() const noexcept { return static_cast<bool>(keyBytes_); }
    bool HasSchedule() const noexcept { return static_cast<bool>(expandedKey_); }
    std::int32_t Nk() const noexcept { return nk_; }
    std::int32_t Nr() const noexcept { return nr_; }
    std::int32_t Nb() const noexcept { return nb_; }
    const std::uint8_t* KeyBytes() const noexcept { return keyBytes_.data(); }

    // The Nb bytes of row j of round r's key, or null without a schedule.
    const std::uint8_t* RoundKeyRow(std::int32_t round, std::int32_t row) const noexcept;

    // The same schedule rearranged for the fast paths (rijndael_path_schedule.h),
    // or null without a schedule.
    const std::uint8_t* PathSchedule() const noexcept { return pathSchedule_.data(); }

private:
    Buffer keyBytes_;     // 4·Nk raw key bytes
    Buffer expandedKey_;  // 4 rows of (Nr + 1)·Nb columns, row j at j·(Nr + 1)·Nb
    Buffer pathSchedule_; // built and dropped together with expandedKey_
    std::int32_t nk_ = 4;
    std::int32_t nr_ = 0;
    std::int32_t nb_ = 0;
};

}  // namespace zarnocrypt
