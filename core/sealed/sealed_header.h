// The 40 bytes that open every sealed message: what a reader needs to derive
// the key, and the associated data of every chunk.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "argon2id.h"
#include "status.h"

namespace zarnocrypt {

inline constexpr std::size_t SEALED_HEADER_SIZE = 40;
inline constexpr std::size_t SEALED_SALT_SIZE = 16;
inline constexpr std::size_t SEALED_NONCE_SIZE = 16;
inline constexpr std::uint8_t SEALED_VERSION = 1;

// The parameters writers use.
inline constexpr std::uint8_t SEALED_WRITER_ITERATIONS = 3;
inline constexpr std::uint8_t SEALED_WRITER_LOG2_MEMORY = 15;
inline constexpr std::uint8_t SEALED_WRITER_LANES = 1;

struct SealedHeader {
    std::uint8_t iterations = SEALED_WRITER_ITERATIONS;
    std::uint8_t log2Memory = SEALED_WRITER_LOG2_MEMORY;
    std::uint8_t lanes = SEALED_WRITER_LANES;
    std::array<std::uint8_t, SEALED_SALT_SIZE> salt{};
    std::array<std::uint8_t, SEALED_NONCE_SIZE> nonce{};
};

using SealedHeaderBytes = std::array<std::uint8_t, SEALED_HEADER_SIZE>;

// Magic "ZQV2", version, t, log2 m, p, salt, nonce.
SealedHeaderBytes StoreSealedHeader(const SealedHeader& header) noexcept;

// BadHeader for another magic or version, or Argon2 parameters out of bounds.
Status LoadSealedHeader(std::span<const std::uint8_t, SEALED_HEADER_SIZE> bytes, SealedHeader& header) noexcept;

// The master key for header's salt and parameters (see Argon2id).
Status DeriveSealedMasterKey(std::span<const std::uint8_t> keyTextUtf8, const SealedHeader& header,
                             std::span<std::uint8_t, SEALED_KEY_SIZE> masterKey) noexcept;

}  // namespace zarnocrypt
