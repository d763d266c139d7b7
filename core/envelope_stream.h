// The envelope in pieces, for data too large to hold at once (files, pipes):
// byte for byte what EncryptEnvelope makes and DecryptEnvelope reads, in
// memory of the caller's work buffer only, whatever the data's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "envelope.h"

namespace zarnocrypt {

// Where the bytes come from. got == 0 means the end; a short read is not the
// end. Its own failure is Io, and it keeps the reason for its caller.
struct ByteSource {
    virtual Status Read(std::uint8_t* into, std::size_t want, std::size_t& got) noexcept = 0;

protected:
    ~ByteSource() = default;
};

// Where the bytes go, all of them or Io (the sink keeps the reason).
struct ByteSink {
    virtual Status Write(const std::uint8_t* data, std::size_t size) noexcept = 0;

protected:
    ~ByteSink() = default;
};

// Reads from source until want bytes or its end; got tells how many.
Status ReadFull(ByteSource& source, std::uint8_t* into, std::size_t want, std::size_t& got) noexcept;

// Four of the largest blocks: the last two, which hold the magic, are
// decrypted together after pieces of at least one block. Less is NoMemory.
inline constexpr std::size_t ENVELOPE_STREAM_MIN_WORK = 128;

// A size not known beforehand: data from a pipe.
inline constexpr std::uint64_t ENVELOPE_SIZE_UNKNOWN = UINT64_MAX;

// The envelope of the length bytes that source gives, written to sink. NoKey
// and TooLarge (length beyond MaxPlaintextLength) before anything is read or
// written. A source that ends before length bytes or gives more is Size. The
// result does not depend on the work buffer's size. The work buffer is wiped
// before the call returns.
Status EncryptEnvelopeStream(const RijndaelKey& key, std::uint64_t length, ByteSource& source, ByteSink& sink,
                             std::span<std::uint8_t> work,
                             const CipherImplementation& cipher = ChosenImplementation()) noexcept;

// The plaintext of the message that source gives, written to sink as it is
// decrypted. The statuses and their order are DecryptEnvelope's, and the
// key's block length changes alike. With a known size (the message's, which
// the source must give exactly, else Size), every check but the magic comes
// before any output. With ENVELOPE_SIZE_UNKNOWN the size is counted as the
// bytes arrive: reading stops at the first byte beyond the header's size
// (Size) or beyond ENVELOPE_MAX_SIZE (TooLarge), and a wrong key length is
// told only once the size is known, as DecryptEnvelope tells it.
//
// The magic is checked only at the end, so on any failure the sink has been
// given bytes that are not the plaintext: the caller must discard all of it.
// The work buffer is wiped before the call returns.
Status DecryptEnvelopeStream(RijndaelKey& key, ByteSource& source, ByteSink& sink, std::span<std::uint8_t> work,
                             std::uint64_t size = ENVELOPE_SIZE_UNKNOWN,
                             const CipherImplementation& cipher = ChosenImplementation()) noexcept;

}  // namespace zarnocrypt
