// Sealed messages by key text, whole in memory or streamed: the master key
// comes from the process's cache (master_key_cache.h), so a key text costs
// one Argon2id per salt however many messages it seals or opens.
#pragma once

#include <cstdint>
#include <span>

#include "buffer.h"
#include "envelope_stream.h"
#include "sealed_header.h"
#include "status.h"

namespace zarnocrypt {

// True when bytes begin with the sealed magic, which no legacy envelope of an
// accepted size has: this is how readers of both formats tell them apart.
bool StartsSealedMessage(std::span<const std::uint8_t> bytes) noexcept;

// The number of chunks of a sealed message of size bytes, the header
// included. BadHeader when it is shorter than a header and one empty chunk,
// Size when no message has that size (the last chunk cut inside its tag).
Status SealedChunkCount(std::uint64_t size, std::uint64_t& chunks) noexcept;

// The first bytes of a source, read to tell the formats apart, and then the
// rest of it: what a reader of either format passes on.
class PrefixedSource final : public ByteSource {
public:
    PrefixedSource(std::span<const std::uint8_t> prefix, ByteSource& rest) noexcept : prefix_(prefix), rest_(rest) {}

    Status Read(std::uint8_t* into, std::size_t want, std::size_t& got) noexcept override;

private:
    std::span<const std::uint8_t> prefix_;
    ByteSource& rest_;
};

// The sealed message of plaintext under the key text with header's
// parameters, salt and nonce (NewSealedHeader's for a writer; fixed ones in
// tests). Argon2id's failures, TooLarge, NoMemory; message is set only on Ok.
Status SealBytes(std::span<const std::uint8_t> keyTextUtf8, std::span<const std::uint8_t> plaintext,
                 const SealedHeader& header, Buffer& message) noexcept;

// SealBytes with a writer's fresh header.
Status SealBytes(std::span<const std::uint8_t> keyTextUtf8, std::span<const std::uint8_t> plaintext,
                 Buffer& message) noexcept;

// The plaintext of a sealed message, followed by a NUL inside the buffer.
// BadHeader for a message shorter than the header or a header a reader
// refuses, Argon2id's failures, Unauthentic, NoMemory. plaintext is set only
// on Ok: nothing of a message that does not authenticate is handed out.
Status OpenBytes(std::span<const std::uint8_t> keyTextUtf8, std::span<const std::uint8_t> message,
                 Buffer& plaintext) noexcept;

// The sealed message of everything source gives, under a writer's fresh
// header, written to sink as it is sealed.
Status SealStream(std::span<const std::uint8_t> keyTextUtf8, ByteSource& source, ByteSink& sink) noexcept;

// Reads a sealed message from source, the header included, and gives sink
// each chunk only after it authenticated. BadHeader for a source that ends
// inside the header or a header a reader refuses; then as DecryptSealedStream:
// after Unauthentic the caller must discard what sink was given.
Status OpenSealedStream(std::span<const std::uint8_t> keyTextUtf8, ByteSource& source, ByteSink& sink) noexcept;

}  // namespace zarnocrypt
