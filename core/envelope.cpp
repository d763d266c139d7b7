#include "envelope.h"

#include <cstring>

#include "byte_order.h"
#include "rijndael_state.h"
#include "status.h"

namespace zarnocrypt {

namespace {

// Header offsets.
constexpr std::size_t LENGTH_OFFSET = 0;
constexpr std::size_t BLOCK_LENGTH_OFFSET = 4;
constexpr std::size_t KEY_LENGTH_OFFSET = 5;
constexpr std::size_t APPENDIX_FLAG_OFFSET = 6;
constexpr std::size_t FINGERPRINT_OFFSET = 7;

constexpr std::uint64_t MAX_ENVELOPE_SIZE = 0xFFFFFFFFu;
constexpr std::uint32_t MAX_PLAINTEXT_LENGTH = 0x7FFFFFFFu;

bool IsBlockLength(std::uint8_t nb) noexcept
{
    return nb == 4 || nb == 6 || nb == 8;
}

// Blocks needed for L data bytes and the magic: ceil((L + 3) / B), at least 1.
std::uint64_t BlockCount(std::uint64_t length, std::uint64_t blockSize) noexcept
{
    return (length + ENVELOPE_MAGIC_SIZE + blockSize - 1) / blockSize;
}

}  // namespace

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

std::size_t EnvelopeCodec::EnvelopeSize(std::int32_t length) const noexcept
{
    if (length < 0 || key_ == nullptr || !key_->HasSchedule())
        return 0;
    const std::uint64_t blockSize = 4 * static_cast<std::uint64_t>(key_->Nb());
    const std::uint64_t size =
        ENVELOPE_HEADER_SIZE + BlockCount(static_cast<std::uint64_t>(length), blockSize) * blockSize;
    if (size > MAX_ENVELOPE_SIZE || size > SIZE_MAX)
        return 0;
    return static_cast<std::size_t>(size);
}

Buffer EnvelopeCodec::EncryptEnvelope(const std::uint8_t* data, std::int32_t length) noexcept
{
    outOfMemory_ = false;
    const std::size_t size = EnvelopeSize(length);
    if (data == nullptr || size == 0)
        return {};
    Buffer envelope = Buffer::Allocate(size);
    if (!envelope) {
        outOfMemory_ = true;
        return {};
    }
    if (!EncryptEnvelopeInto(data, length, envelope.data(), size))
        return {};
    return envelope;
}

bool EnvelopeCodec::EncryptEnvelopeInto(const std::uint8_t* data, std::int32_t length,
                                        std::uint8_t* envelope, std::size_t size) noexcept
{
    if (data == nullptr || envelope == nullptr || size == 0 || size != EnvelopeSize(length))
        return false;
    const std::int32_t nb = key_->Nb();
    RijndaelState state;
    state.SetBlockLength(nb);
    if (state.AttachKey(*key_) != STATUS_OK)
        return false;

    StoreBigEndian32(envelope + LENGTH_OFFSET, static_cast<std::uint32_t>(length));
    envelope[BLOCK_LENGTH_OFFSET] = static_cast<std::uint8_t>(nb);
    envelope[KEY_LENGTH_OFFSET] = static_cast<std::uint8_t>(key_->Nk());
    envelope[APPENDIX_FLAG_OFFSET] = 0;
    envelope[FINGERPRINT_OFFSET] = KeyFingerprint(*key_);

    // The area is data, the magic, then zero fill up to the last block's end.
    std::uint8_t* area = envelope + ENVELOPE_HEADER_SIZE;
    const std::size_t areaSize = size - ENVELOPE_HEADER_SIZE;
    const std::size_t dataSize = static_cast<std::size_t>(length);
    std::memcpy(area, data, dataSize);
    std::memcpy(area + dataSize, ENVELOPE_MAGIC, ENVELOPE_MAGIC_SIZE);
    std::memset(area + dataSize + ENVELOPE_MAGIC_SIZE, 0, areaSize - dataSize - ENVELOPE_MAGIC_SIZE);

    state.EncryptBlocks(area, areaSize / (4 * static_cast<std::size_t>(nb)));
    return true;
}

Buffer EnvelopeCodec::DecryptEnvelope(const std::uint8_t* message, std::int32_t size,
                                      std::int32_t& length) noexcept
{
    outOfMemory_ = false;
    if (message == nullptr || size <= static_cast<std::int32_t>(ENVELOPE_HEADER_SIZE))
        return {};
    if (key_ == nullptr || !key_->HasKeyBytes())
        return {};

    std::int64_t usable = size;
    if (message[APPENDIX_FLAG_OFFSET] == ENVELOPE_APPENDIX_FLAG)
        usable -= ENVELOPE_APPENDIX_SIZE;

    // A length of 2^31 or more never describes a real message, and only
    // block lengths 4, 6 and 8 exist; both are refused before the key changes.
    const std::uint32_t plaintextLength = LoadBigEndian32(message + LENGTH_OFFSET);
    const std::uint8_t nb = message[BLOCK_LENGTH_OFFSET];
    if (plaintextLength > MAX_PLAINTEXT_LENGTH || !IsBlockLength(nb))
        return {};

    if (message[FINGERPRINT_OFFSET] != KeyFingerprint(*key_))
        return {};

    // The key keeps the message's block length after this call, whatever its outcome.
    if (!key_->HasSchedule() || key_->Nb() != nb) {
        const std::int32_t status = key_->BuildSchedule(nb);
        if (status != STATUS_OK) {
            outOfMemory_ = status == ERR_NO_MEMORY;
            return {};
        }
    }

    RijndaelState state;
    state.SetBlockLength(nb);
    if (state.AttachKey(*key_) != STATUS_OK)
        return {};

    const std::uint64_t blockSize = 4u * nb;
    const std::uint64_t areaSize = std::uint64_t{plaintextLength} + ENVELOPE_MAGIC_SIZE;
    const std::uint64_t fullBlocks = areaSize / blockSize;
    const std::uint64_t partial = areaSize % blockSize != 0 ? 1 : 0;
    if (static_cast<std::uint64_t>(usable) != ENVELOPE_HEADER_SIZE + (fullBlocks + partial) * blockSize)
        return {};

    if (message[KEY_LENGTH_OFFSET] != key_->Nk())
        return {};

    Buffer plaintext = Buffer::Allocate(static_cast<std::size_t>(areaSize));
    if (!plaintext) {
        outOfMemory_ = true;
        return {};
    }

    const std::uint8_t* cipher = message + ENVELOPE_HEADER_SIZE;
    const std::size_t fullSize = static_cast<std::size_t>(fullBlocks * blockSize);
    std::memcpy(plaintext.data(), cipher, fullSize);
    state.DecryptBlocks(plaintext.data(), static_cast<std::size_t>(fullBlocks));
    if (partial) {
        std::uint8_t last[4 * 8];
        std::memcpy(last, cipher + fullSize, static_cast<std::size_t>(blockSize));
        state.DecryptBlocks(last, 1);
        std::memcpy(plaintext.data() + fullSize, last, static_cast<std::size_t>(areaSize) - fullSize);
        SecureWipe(last, sizeof last);
    }

    if (std::memcmp(plaintext.data() + plaintextLength, ENVELOPE_MAGIC, ENVELOPE_MAGIC_SIZE) != 0) {
        length = 0;
        return {};
    }
    length = static_cast<std::int32_t>(plaintextLength);
    return plaintext;
}

}  // namespace zarnocrypt
