// Salts and nonces come from the operating system's generator, never from a
// generator of our own.
#pragma once

#include <cstdint>
#include <span>

#include "status.h"

namespace zarnocrypt {

// Fills every byte of bytes. Io when the system gives none (it does not on a
// working system); bytes are then wiped, so no part of them is ever used.
Status RandomBytes(std::span<std::uint8_t> bytes) noexcept;

}  // namespace zarnocrypt
