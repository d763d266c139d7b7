// Argon2id is slow by design, so a process derives a master key once per key
// text and salt, and a writer uses one salt per key text: its messages differ
// by their nonces alone and cost one derivation together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "sealed_header.h"

namespace zarnocrypt {

// Master keys held at once; the one used longest ago makes room, wiped.
inline constexpr std::size_t MASTER_KEY_CACHE_ENTRIES = 16;

// A writer's header: the writer's parameters, this process's salt for the key
// text (made on the first call for it) and a fresh nonce. Io when the system
// gives no random bytes.
Status NewSealedHeader(std::span<const std::uint8_t> keyTextUtf8, SealedHeader& header) noexcept;

// The master key for header's salt and parameters: from the cache, or derived
// (see Argon2id for its failures) and kept. Safe from any thread; a
// derivation runs outside the lock, so one slow key text holds up no other.
Status CachedMasterKey(std::span<const std::uint8_t> keyTextUtf8, const SealedHeader& header,
                       std::span<std::uint8_t, SEALED_KEY_SIZE> masterKey) noexcept;

// Derivations this process has run: what the cache saves, for tests and
// benchmarks.
std::uint64_t MasterKeyDerivations() noexcept;

}  // namespace zarnocrypt
