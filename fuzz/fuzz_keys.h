// Keys the fuzz targets choose from with an input's first byte: none, and one
// key text of each length class (1–15, 16–23, 24–31 and 32 or more bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "key_text.h"

namespace zarnocrypt::fuzz {

inline constexpr const char* KEY_TEXTS[] = {
    "",
    "fuzz",
    "sixteen-byte-key+7",
    "a key text of 24 to 31 bytes",
    "a key text of thirty-two bytes or more",
};
inline constexpr std::size_t KEY_COUNT = sizeof KEY_TEXTS / sizeof KEY_TEXTS[0];

// Sets the key exactly as SetKey does.
inline void SelectKey(std::uint8_t selector, RijndaelKey& key) noexcept
{
    const char* text = KEY_TEXTS[selector % KEY_COUNT];
    LoadKeyText(key, text, std::strlen(text));
}

// Whatever a decryption did to the key's schedule, a fresh message must
// still make the round trip under the same key.
void CheckKeyStillRoundTrips(RijndaelKey& key) noexcept;

}  // namespace zarnocrypt::fuzz
