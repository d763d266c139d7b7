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
//
// Every size of the format is 32-bit and no decryption accepts a message of
// more than INT32_MAX bytes, so no envelope is made larger than that.
#pragma once

#include <cstddef>
#include <cstdint>

#include "buffer.h"
#include "cipher_path.h"
#include "rijndael_key.h"
#include "status.h"

namespace zarnocrypt {

inline constexpr std::size_t ENVELOPE_HEADER_SIZE = 8;
inline constexpr std::size_t ENVELOPE_APPENDIX_SIZE = 4;
inline constexpr std::uint8_t ENVELOPE_APPENDIX_FLAG = 4;
inline constexpr std::uint8_t ENVELOPE_MAGIC[3] = {'Z', 'q', 'v'};
inline constexpr std::size_t ENVELOPE_MAGIC_SIZE = sizeof ENVELOPE_MAGIC;
inline constexpr std::size_t ENVELOPE_MAX_SIZE = 0x7FFFFFFF;

// The block and key lengths that exist: 4, 6 or 8 words.
bool IsWordCount(std::uint32_t words) noexcept;

// The largest plaintext whose envelope with block length nb (4, 6 or 8)
// stays within ENVELOPE_MAX_SIZE.
std::size_t MaxPlaintextLength(std::int32_t nb) noexcept;

// Bit 7 − i of the result is bit 7 − i of raw key byte i, for i = 0..7.
// The key must have key bytes.
std::uint8_t KeyFingerprint(const RijndaelKey& key) noexcept;

struct EnvelopeHeader {
    std::uint32_t length = 0;  // L
    std::uint8_t blockLength = 0;
    std::uint8_t keyLength = 0;
    std::uint8_t appendixFlag = 0;
    std::uint8_t fingerprint = 0;
    bool hasAppendix = false;        // appendixFlag is exactly ENVELOPE_APPENDIX_FLAG
    std::uint64_t blocks = 0;        // Ok only: ceil((L + 3) / 4·Nb)
    std::uint64_t expectedSize = 0;  // Ok only: the message size the header asks for
};

// BadHeader without the 8 header bytes (header untouched). Otherwise the
// fields are read, and a block length other than 4, 6 or 8 or a length of
// 2^31 or more (which describes no message) is BadHeader too; only then are
// blocks and expectedSize filled in. The size itself is not compared.
Status ParseEnvelopeHeader(const std::uint8_t* message, std::size_t size,
                           EnvelopeHeader& header) noexcept;

// Size of the envelope of length bytes under the key's current schedule:
// NoKey without a schedule, TooLarge beyond ENVELOPE_MAX_SIZE.
Status EnvelopeSize(const RijndaelKey& key, std::size_t length, std::size_t& size) noexcept;

// The pieces of the one-pass envelope, shared with the streaming one
// (envelope_stream.h), so that both write and read the same bytes.

// Bytes of the encrypted area for length data bytes: ceil((length + 3) / 4·nb) blocks.
std::uint64_t EnvelopeAreaSize(std::int32_t nb, std::uint64_t length) noexcept;

// The 8 header bytes of a message of length bytes under the key's schedule.
void WriteEnvelopeHeader(const RijndaelKey& key, std::uint64_t length, std::uint8_t* header) noexcept;

// The checks of a message's size alone: BadHeader for 8 bytes or fewer,
// TooLarge beyond ENVELOPE_MAX_SIZE.
Status CheckMessageSize(std::uint64_t size) noexcept;

// The checks that need the header and not the size, in DecryptEnvelope's
// order: NoKey, BadHeader, Fingerprint, then the re-schedule (NoMemory).
Status OpenEnvelopeHeader(RijndaelKey& key, const std::uint8_t* message, EnvelopeHeader& header) noexcept;

// The checks that follow them: Size, then KeyLength.
Status CheckEnvelopeBody(const EnvelopeHeader& header, const RijndaelKey& key, std::uint64_t size) noexcept;

// The encrypted area of length data bytes (whole blocks, then the data's
// rest, the magic and the zero fill), areaSize bytes. area may be data itself.
void SealArea(const CipherImplementation& cipher, const RijndaelKey& key, const std::uint8_t* data,
              std::size_t length, std::uint8_t* area, std::size_t areaSize) noexcept;

// The first resultSize bytes of the decrypted area; result may be area itself.
void OpenArea(const CipherImplementation& cipher, const RijndaelKey& key, const std::uint8_t* area,
              std::uint8_t* result, std::size_t resultSize) noexcept;

// Encryption and decryption cross the data once: whole blocks go straight
// between the caller's bytes and the result, and only the last block or two
// (the data's end, the magic, the zero fill) are assembled apart. cipher is
// the implementation used; callers other than the benchmark keep the chosen one.

// The envelope of the length bytes at data (null only when length is 0),
// with the key's current block length: NoKey, TooLarge or NoMemory
// otherwise. envelope is set only on Ok.
Status EncryptEnvelope(const RijndaelKey& key, const std::uint8_t* data, std::size_t length, Buffer& envelope,
                       const CipherImplementation& cipher = ChosenImplementation()) noexcept;

// The same into the caller's buffer of exactly the EnvelopeSize bytes (Size
// for another size), which must not overlap data.
Status EncryptEnvelopeInto(const RijndaelKey& key, const std::uint8_t* data, std::size_t length,
                           std::uint8_t* envelope, std::size_t size,
                           const CipherImplementation& cipher = ChosenImplementation()) noexcept;

// Checks in this order, each failing with its own status: BadHeader for a
// message of 8 bytes or fewer (TooLarge beyond ENVELOPE_MAX_SIZE); NoKey
// without key bytes; BadHeader from the header; Fingerprint; then the key is
// re-scheduled for the message's block length if it differs (NoMemory), and
// keeps that schedule whatever follows; Size; KeyLength (Nk); NoMemory;
// Magic. On Ok, plaintext.size() is L; the magic follows inside the buffer.
// plaintext is set only on Ok.
Status DecryptEnvelope(RijndaelKey& key, const std::uint8_t* message, std::size_t size, Buffer& plaintext,
                       const CipherImplementation& cipher = ChosenImplementation()) noexcept;

}  // namespace zarnocrypt
