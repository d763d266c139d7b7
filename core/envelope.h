// The binary envelope of every message: an 8-byte header in clear, then whole
// cipher blocks in electronic-codebook mode, with the magic "Zqv" after the
// plaintext inside the encrypted area.
//
//   0  4  plaintext length L, big-endian
//   4  1  block length Nb in words
//   5  1  key length Nk in words
//   6  1  appendix flag: exactly 4 means 4 clear bytes follow the blocks
//   7  1  key fingerprint
//   8     ceil((L + 3) / 4·Nb) blocks
#pragma once

#include <cstddef>
#include <cstdint>

#include "buffer.h"
#include "rijndael_key.h"

namespace zarnocrypt {

inline constexpr std::size_t ENVELOPE_HEADER_SIZE = 8;
inline constexpr std::size_t ENVELOPE_APPENDIX_SIZE = 4;
inline constexpr std::uint8_t ENVELOPE_APPENDIX_FLAG = 4;
inline constexpr std::uint8_t ENVELOPE_MAGIC[3] = {'Z', 'q', 'v'};
inline constexpr std::size_t ENVELOPE_MAGIC_SIZE = sizeof ENVELOPE_MAGIC;

// Bit 7 − i of the result is bit 7 − i of raw key byte i, for i = 0..7.
std::uint8_t KeyFingerprint(const RijndaelKey& key) noexcept;

class EnvelopeCodec {
public:
    void BindKey(RijndaelKey& key) noexcept { key_ = &key; }

    // The whole envelope, or an empty buffer when there is no data pointer,
    // no scheduled key, a negative length, an envelope beyond 32-bit sizes,
    // or no memory.
    Buffer EncryptEnvelope(const std::uint8_t* data, std::int32_t length) noexcept;

    // Size of the envelope of length data bytes under the bound key's
    // schedule; 0 when none can be made (no scheduled key, a negative length,
    // an envelope beyond 32-bit sizes).
    std::size_t EnvelopeSize(std::int32_t length) const noexcept;

    // EncryptEnvelope into the caller's buffer of exactly EnvelopeSize(length)
    // bytes, which must not overlap data; false when it cannot be made.
    bool EncryptEnvelopeInto(const std::uint8_t* data, std::int32_t length, std::uint8_t* envelope,
                             std::size_t size) noexcept;

    // L + 3 bytes (plaintext, then the magic) with L in length, or an empty
    // buffer. length is set to 0 only when the magic check fails. May leave
    // the key scheduled for the message's block length, even on failure.
    Buffer DecryptEnvelope(const std::uint8_t* message, std::int32_t size,
                           std::int32_t& length) noexcept;

    // Whether the last operation failed for want of memory rather than on its
    // input, so that callers can report the two differently.
    bool OutOfMemory() const noexcept { return outOfMemory_; }

private:
    RijndaelKey* key_ = nullptr;
    bool outOfMemory_ = false;
};

}  // namespace zarnocrypt
