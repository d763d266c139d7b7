#include "envelope.h"

#include <cstring>
#include <utility>

#include "byte_order.h"
#include "cipher_path.h"
#include "rijndael_nb.h"

namespace zarnocrypt {
namespace {

// Header offsets.
constexpr std::size_t LENGTH_OFFSET = 0;
constexpr std::size_t BLOCK_LENGTH_OFFSET = 4;
constexpr std::size_t KEY_LENGTH_OFFSET = 5;
constexpr std::size_t APPENDIX_FLAG_OFFSET = 6;
constexpr std::size_t FINGERPRINT_OFFSET = 7;

constexpr std::uint32_t MAX_PLAINTEXT_LENGTH = 0x7FFFFFFFu;

std::uint64_t BlockSize(std::int32_t nb) noexcept
{
    return 4 * static_cast<std::uint64_t>(nb);
}

constexpr std::size_t MAX_BLOCK_SIZE = 4 * MAX_NB;

// Blocks needed for L data bytes and the magic: ceil((L + 3) / B), at least 1.
std::uint64_t BlockCount(std::uint64_t length, std::uint64_t blockSize) noexcept
{
    return (length + ENVELOPE_MAGIC_SIZE + blockSize - 1) / blockSize;
}

}  // namespace

// The blocks the data fills go straight from data; its rest, the magic and
// the zero fill (one or two blocks) are assembled in a temporary, copied out
// before the area's last blocks are written, so area may be data itself.
void SealArea(const CipherImplementation& cipher, const RijndaelKey& key, const std::uint8_t* data,
              std::size_t length, std::uint8_t* area, std::size_t areaSize) noexcept
{
    const std::size_t blockSize = static_cast<std::size_t>(BlockSize(key.Nb()));
    const std::size_t direct = length - length % blockSize;
    cipher.encrypt(key, data, area, direct / blockSize);

    std::uint8_t tail[2 * MAX_BLOCK_SIZE] = {};
    const std::size_t rest = length - direct;
    if (rest != 0)
        std::memcpy(tail, data + direct, rest);
    std::memcpy(tail + rest, ENVELOPE_MAGIC, ENVELOPE_MAGIC_SIZE);
    cipher.encrypt(key, tail, area + direct, (areaSize - direct) / blockSize);
    SecureWipe(tail, sizeof tail);
}

// Whole blocks straight into result, the part of a last block through a
// temporary.
void OpenArea(const CipherImplementation& cipher, const RijndaelKey& key, const std::uint8_t* area,
              std::uint8_t* result, std::size_t resultSize) noexcept
{
    const std::size_t blockSize = static_cast<std::size_t>(BlockSize(key.Nb()));
    const std::size_t direct = resultSize - resultSize % blockSize;
    cipher.decrypt(key, area, result, direct / blockSize);
    if (direct != resultSize) {
        std::uint8_t last[MAX_BLOCK_SIZE];
        cipher.decrypt(key, area + direct, last, 1);
        std::memcpy(result + direct, last, resultSize - direct);
        SecureWipe(last, sizeof last);
    }
}

bool IsWordCount(std::uint32_t words) noexcept
{
    return words == 4 || words == 6 || words == 8;
}

std::size_t MaxPlaintextLength(std::int32_t nb) noexcept
{
    const std::uint64_t blockSize = BlockSize(nb);
    const std::uint64_t blocks = (ENVELOPE_MAX_SIZE - ENVELOPE_HEADER_SIZE) / blockSize;
    return static_cast<std::size_t>(blocks * blockSize - ENVELOPE_MAGIC_SIZE);
}

std::uint8_t KeyFingerprint(const RijndaelKey& key) noexcept
{
    const std::uint8_t* k = key.KeyBytes();
    std::uint8_t fingerprint = 0;
    for (int i = 0; i < 8; ++i) {
        const std::uint8_t bit = static_cast<std::uint8_t>(0x80u >> i);
        fingerprint |= k[i] & bit;
    }
    return fingerprint;
}

Status ParseEnvelopeHeader(const std::uint8_t* message, std::size_t size, EnvelopeHeader& header) noexcept
{
    if (message == nullptr || size < ENVELOPE_HEADER_SIZE)
        return Status::BadHeader;
    header = EnvelopeHeader{};
    header.length = LoadBigEndian32(message + LENGTH_OFFSET);
    header.blockLength = message[BLOCK_LENGTH_OFFSET];
    header.keyLength = message[KEY_LENGTH_OFFSET];
    header.appendixFlag = message[APPENDIX_FLAG_OFFSET];
    header.fingerprint = message[FINGERPRINT_OFFSET];
    header.hasAppendix = header.appendixFlag == ENVELOPE_APPENDIX_FLAG;
    // Only block lengths 4, 6 and 8 exist, and a length of 2^31 or more would
    // wrap any signed 32-bit reader.
    if (!IsWordCount(header.blockLength) || header.length > MAX_PLAINTEXT_LENGTH)
        return Status::BadHeader;
    const std::uint64_t blockSize = BlockSize(header.blockLength);
    header.blocks = BlockCount(header.length, blockSize);
    header.expectedSize =
        ENVELOPE_HEADER_SIZE + header.blocks * blockSize + (header.hasAppendix ? ENVELOPE_APPENDIX_SIZE : 0);
    return Status::Ok;
}

std::uint64_t EnvelopeAreaSize(std::int32_t nb, std::uint64_t length) noexcept
{
    return BlockCount(length, BlockSize(nb)) * BlockSize(nb);
}

Status EnvelopeSize(const RijndaelKey& key, std::size_t length, std::size_t& size) noexcept
{
    if (!key.HasSchedule())
        return Status::NoKey;
    if (length > MaxPlaintextLength(key.Nb()))
        return Status::TooLarge;
    size = static_cast<std::size_t>(ENVELOPE_HEADER_SIZE + EnvelopeAreaSize(key.Nb(), length));
    return Status::Ok;
}

void WriteEnvelopeHeader(const RijndaelKey& key, std::uint64_t length, std::uint8_t* header) noexcept
{
    StoreBigEndian32(header + LENGTH_OFFSET, static_cast<std::uint32_t>(length));
    header[BLOCK_LENGTH_OFFSET] = static_cast<std::uint8_t>(key.Nb());
    header[KEY_LENGTH_OFFSET] = static_cast<std::uint8_t>(key.Nk());
    header[APPENDIX_FLAG_OFFSET] = 0;
    header[FINGERPRINT_OFFSET] = KeyFingerprint(key);
}

Status EncryptEnvelope(const RijndaelKey& key, const std::uint8_t* data, std::size_t length, Buffer& envelope,
                       const CipherImplementation& cipher) noexcept
{
    std::size_t size = 0;
    if (const Status status = EnvelopeSize(key, length, size); status != Status::Ok)
        return status;
    Buffer made = Buffer::AllocateForOverwrite(size);
    if (!made)
        return Status::NoMemory;
    if (const Status status = EncryptEnvelopeInto(key, data, length, made.data(), size, cipher);
        status != Status::Ok)
        return status;
    envelope = std::move(made);
    return Status::Ok;
}

Status EncryptEnvelopeInto(const RijndaelKey& key, const std::uint8_t* data, std::size_t length,
                           std::uint8_t* envelope, std::size_t size, const CipherImplementation& cipher) noexcept
{
    std::size_t expected = 0;
    if (const Status status = EnvelopeSize(key, length, expected); status != Status::Ok)
        return status;
    if (size != expected)
        return Status::Size;
    WriteEnvelopeHeader(key, length, envelope);
    SealArea(cipher, key, data, length, envelope + ENVELOPE_HEADER_SIZE, size - ENVELOPE_HEADER_SIZE);
    return Status::Ok;
}

Status CheckMessageSize(std::uint64_t size) noexcept
{
    if (size <= ENVELOPE_HEADER_SIZE)
        return Status::BadHeader;
    return size > ENVELOPE_MAX_SIZE ? Status::TooLarge : Status::Ok;
}

Status OpenEnvelopeHeader(RijndaelKey& key, const std::uint8_t* message, EnvelopeHeader& header) noexcept
{
    if (!key.HasKeyBytes())
        return Status::NoKey;
    // Both header refusals come before the key changes.
    if (const Status status = ParseEnvelopeHeader(message, ENVELOPE_HEADER_SIZE, header); status != Status::Ok)
        return status;
    if (header.fingerprint != KeyFingerprint(key))
        return Status::Fingerprint;
    // The key keeps the message's block length after this call, whatever its outcome.
    if (!key.HasSchedule() || key.Nb() != header.blockLength)
        return key.BuildSchedule(header.blockLength);
    return Status::Ok;
}

Status CheckEnvelopeBody(const EnvelopeHeader& header, const RijndaelKey& key, std::uint64_t size) noexcept
{
    if (header.expectedSize != size)
        return Status::Size;
    return header.keyLength != key.Nk() ? Status::KeyLength : Status::Ok;
}

Status DecryptEnvelope(RijndaelKey& key, const std::uint8_t* message, std::size_t size, Buffer& plaintext,
                       const CipherImplementation& cipher) noexcept
{
    if (message == nullptr)
        return Status::BadHeader;
    EnvelopeHeader header;
    if (const Status status = CheckMessageSize(size); status != Status::Ok)
        return status;
    if (const Status status = OpenEnvelopeHeader(key, message, header); status != Status::Ok)
        return status;
    if (const Status status = CheckEnvelopeBody(header, key, size); status != Status::Ok)
        return status;

    // The data and the magic; the zero fill needs no room in the result.
    const std::size_t resultSize = std::size_t{header.length} + ENVELOPE_MAGIC_SIZE;
    Buffer result = Buffer::AllocateForOverwrite(resultSize);
    if (!result)
        return Status::NoMemory;
    OpenArea(cipher, key, message + ENVELOPE_HEADER_SIZE, result.data(), resultSize);

    if (std::memcmp(result.data() + header.length, ENVELOPE_MAGIC, ENVELOPE_MAGIC_SIZE) != 0)
        return Status::Magic;
    result.Shrink(header.length);
    plaintext = std::move(result);
    return Status::Ok;
}

}  // namespace zarnocrypt
