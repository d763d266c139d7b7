// The master key of a sealed message: Argon2id of the key text's UTF-8 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "status.h"

namespace zarnocrypt {

inline constexpr std::size_t SEALED_KEY_SIZE = 32;

// Bounds a reader accepts: a crafted header must not exhaust the host, and
// parameters below them give no protection at all.
inline constexpr unsigned ARGON2_MAX_ITERATIONS = 10;
inline constexpr unsigned ARGON2_MAX_LOG2_MEMORY = 18;  // 256 MiB
inline constexpr unsigned ARGON2_MAX_LANES = 4;

// True when t iterations over 2^log2Memory KiB in p lanes are within bounds
// (at least one iteration and lane, at least 8 KiB per lane).
bool Argon2ParametersAllowed(unsigned t, unsigned log2Memory, unsigned p) noexcept;

// Parameters out of bounds are BadHeader and an empty password NoKey, both
// before any work; a failure inside the library (memory) is NoMemory. On any
// failure key is wiped.
Status Argon2id(std::span<const std::uint8_t> password, std::span<const std::uint8_t> salt, unsigned t,
                unsigned log2Memory, unsigned p, std::span<std::uint8_t, SEALED_KEY_SIZE> key) noexcept;

}  // namespace zarnocrypt
