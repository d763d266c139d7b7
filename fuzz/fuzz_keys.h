// Keys the fuzz targets choose from with an input's first byte: none, and one
// key text of each length class (1–15, 16–23, 24–31 and 32 or more bytes).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "envelope.h"
#include "key_text.h"

namespace zarnocrypt::fuzz {

inline constexpr const char* KEY_TEXTS[] = {
    "", "fuzz", "sixteen-byte-key+7", "a key text of 24 to 31 bytes", "a key text of thirty-two bytes or more",
};

// Sets the key exactly as SetKey does.
inline void SelectKey(std::uint8_t selector, RijndaelKey& key) noexcept
{
    const char* text = KEY_TEXTS[selector % std::size(KEY_TEXTS)];
    LoadKeyText(key, text, std::strlen(text));
}

// Whatever a decryption did to the key's schedule, a fresh message must
// still make the round trip under the same key.
inline void CheckKeyStillRoundTrips(RijndaelKey& key) noexcept
{
    static const std::uint8_t probe[] = "round trip after hostile input";
    Buffer envelope, plaintext;
    if (key.HasKeyBytes() && (EncryptEnvelope(key, probe, sizeof probe, envelope) != Status::Ok ||
                              DecryptEnvelope(key, envelope.data(), envelope.size(), plaintext) != Status::Ok ||
                              plaintext.size() != sizeof probe || std::memcmp(plaintext.data(), probe, sizeof probe) != 0))
        std::abort();
}

}  // namespace zarnocrypt::fuzz
