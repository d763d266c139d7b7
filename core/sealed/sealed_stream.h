// The payload of a sealed message: the plaintext in chunks, each sealed with
// AES-256-GCM under a key of its own message, bound to its place in the
// message and to the header, so that a changed, dropped, reordered or
// truncated chunk does not authenticate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "envelope_stream.h"
#include "sealed_header.h"

namespace zarnocrypt {

inline constexpr std::size_t SEALED_CHUNK_SIZE = 64 * 1024;
inline constexpr std::size_t SEALED_TAG_SIZE = 16;

// Writes the header and the sealed chunks of everything source gives to sink.
// A plaintext that ends on a chunk boundary ends with that full chunk; an
// empty one is one empty last chunk. chunkSize is SEALED_CHUNK_SIZE in the
// format; other sizes exist for tests. NoMemory when the work buffer or the
// library fails, Io from source or sink.
Status EncryptSealedStream(std::span<const std::uint8_t, SEALED_KEY_SIZE> masterKey, const SealedHeader& header,
                           ByteSource& source, ByteSink& sink, std::size_t chunkSize = SEALED_CHUNK_SIZE) noexcept;

// Reads the chunks that follow header (already read from source and loaded)
// and gives sink each chunk's plaintext only after the chunk authenticated.
// Unauthentic for any chunk that does not, and for a message cut short; the
// chunks given before that are then not the whole plaintext and the caller
// must discard them.
Status DecryptSealedStream(std::span<const std::uint8_t, SEALED_KEY_SIZE> masterKey, const SealedHeader& header,
                           ByteSource& source, ByteSink& sink, std::size_t chunkSize = SEALED_CHUNK_SIZE) noexcept;

}  // namespace zarnocrypt
