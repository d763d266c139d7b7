// HKDF with HMAC-SHA256 (RFC 5869): extract, then expand.
#pragma once

#include <cstdint>
#include <span>

#include "status.h"

namespace zarnocrypt {

// Fills okm (at most 255 * 32 bytes, else TooLarge) from the input key
// material, the salt and the info. A failure inside the library is NoMemory;
// okm is then wiped.
Status HkdfSha256(std::span<const std::uint8_t> ikm, std::span<const std::uint8_t> salt,
                  std::span<const std::uint8_t> info, std::span<std::uint8_t> okm) noexcept;

}  // namespace zarnocrypt
