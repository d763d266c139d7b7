#include "sealed_stream.h"

#include <gcrypt.h>

#include <cstring>

#include "buffer.h"
#include "hkdf_sha256.h"
#include "sealed_crypto_init.h"

namespace zarnocrypt {
namespace {

constexpr char MESSAGE_KEY_INFO[] = "zarnocrypt sealed v1";
constexpr std::size_t GCM_NONCE_SIZE = 12;

// One AES-256-GCM handle keyed with the message key, for every chunk of one message.
class ChunkCipher {
public:
    ChunkCipher(const ChunkCipher&) = delete;
    ChunkCipher& operator=(const ChunkCipher&) = delete;
    ChunkCipher() noexcept = default;
    ~ChunkCipher()
    {
        if (handle_)
            gcry_cipher_close(handle_);  // wipes the key schedule
    }

    Status Open(std::span<const std::uint8_t, SEALED_KEY_SIZE> masterKey, const SealedHeader& header) noexcept
    {
        header_ = StoreSealedHeader(header);
        if (!SealedCryptoReady() || gcry_cipher_open(&handle_, GCRY_CIPHER_AES256, GCRY_CIPHER_MODE_GCM, 0))
            return Status::NoMemory;
        std::uint8_t messageKey[SEALED_KEY_SIZE];
        Status status = HkdfSha256(masterKey, header.nonce,
                                   std::span(reinterpret_cast<const std::uint8_t*>(MESSAGE_KEY_INFO),
                                             sizeof MESSAGE_KEY_INFO - 1),
                                   messageKey);
        if (status == Status::Ok && gcry_cipher_setkey(handle_, messageKey, sizeof messageKey))
            status = Status::NoMemory;
        SecureWipe(messageKey, sizeof messageKey);
        return status;
    }

    // Seals size bytes at data in place and appends the tag.
    Status Seal(std::uint8_t* data, std::size_t size, bool last) noexcept
    {
        if (Begin(last) || gcry_cipher_encrypt(handle_, data, size, nullptr, 0) ||
            gcry_cipher_gettag(handle_, data + size, SEALED_TAG_SIZE))
            return Status::NoMemory;
        return Status::Ok;
    }

    // Opens a sealed chunk (its bytes, then the tag) in place; its plaintext counts only when Ok.
    Status Unseal(std::uint8_t* data, std::size_t sealedSize, bool last) noexcept
    {
        if (sealedSize < SEALED_TAG_SIZE)
            return Status::Unauthentic;  // cut inside a tag, or no chunk at all
        const std::size_t size = sealedSize - SEALED_TAG_SIZE;
        if (Begin(last) || gcry_cipher_decrypt(handle_, data, size, nullptr, 0))
            return Status::NoMemory;
        if (gcry_cipher_checktag(handle_, data + size, SEALED_TAG_SIZE))
            return Status::Unauthentic;
        return Status::Ok;
    }

private:
    // The nonce is the chunk's 11-byte big-endian counter and the last flag.
    gcry_error_t Begin(bool last) noexcept
    {
        std::uint8_t nonce[GCM_NONCE_SIZE] = {};
        for (std::size_t i = 0, counter = counter_++; i < 8; ++i, counter >>= 8)
            nonce[GCM_NONCE_SIZE - 2 - i] = static_cast<std::uint8_t>(counter);
        nonce[GCM_NONCE_SIZE - 1] = last ? 1 : 0;
        gcry_error_t error = gcry_cipher_reset(handle_);
        if (!error)
            error = gcry_cipher_setiv(handle_, nonce, sizeof nonce);
        if (!error)
            error = gcry_cipher_authenticate(handle_, header_.data(), header_.size());
        if (!error)
            error = gcry_cipher_final(handle_);
        return error;
    }

    gcry_cipher_hd_t handle_ = nullptr;
    SealedHeaderBytes header_{};
    std::uint64_t counter_ = 0;
};

// Room for one sealed chunk and the byte after it, which tells whether it is the last.
Buffer ChunkBuffer(std::size_t chunkSize) noexcept
{
    if (chunkSize == 0 || chunkSize > SIZE_MAX - SEALED_TAG_SIZE - 1)
        return {};
    return Buffer::AllocateForOverwrite(chunkSize + SEALED_TAG_SIZE + 1);
}

// The source in pieces of a fixed size at the buffer's start, the last one
// shorter or as long; a piece is known to be the last by reading one byte ahead.
class Pieces {
public:
    Pieces(ByteSource& source, std::uint8_t* buffer, std::size_t piece) noexcept
        : source_(source), buffer_(buffer), piece_(piece) {}

    Status Next(std::size_t& size, bool& last) noexcept
    {
        if (held_ != 0)
            buffer_[0] = next_;  // the piece before may have overwritten it in place
        std::size_t got = 0;
        if (const Status status = ReadFull(source_, buffer_ + held_, piece_ + 1 - held_, got); status != Status::Ok)
            return status;
        held_ += got;
        last = held_ <= piece_;
        size = last ? held_ : piece_;
        if (!last)
            next_ = buffer_[piece_];
        held_ = last ? 0 : 1;
        return Status::Ok;
    }

private:
    ByteSource& source_;
    std::uint8_t* buffer_;
    std::size_t piece_;
    std::size_t held_ = 0;
    std::uint8_t next_ = 0;
};

// Both directions walk the same pieces: plaintext chunks when sealing, each
// chunk with its tag when opening.
Status Chunks(bool sealing, std::span<const std::uint8_t, SEALED_KEY_SIZE> masterKey, const SealedHeader& header,
              ByteSource& source, ByteSink& sink, std::size_t chunkSize) noexcept
{
    Buffer buffer = ChunkBuffer(chunkSize);
    ChunkCipher cipher;
    if (!buffer)
        return Status::NoMemory;
    Status status = cipher.Open(masterKey, header);
    const SealedHeaderBytes headerBytes = StoreSealedHeader(header);
    if (sealing && status == Status::Ok)
        status = sink.Write(headerBytes.data(), headerBytes.size());
    Pieces pieces(source, buffer.data(), sealing ? chunkSize : chunkSize + SEALED_TAG_SIZE);
    for (bool last = false; status == Status::Ok && !last;) {
        std::size_t size = 0;
        status = pieces.Next(size, last);
        if (status == Status::Ok)
            status = sealing ? cipher.Seal(buffer.data(), size, last) : cipher.Unseal(buffer.data(), size, last);
        if (status == Status::Ok)
            status = sink.Write(buffer.data(), sealing ? size + SEALED_TAG_SIZE : size - SEALED_TAG_SIZE);
    }
    return status;
}

}  // namespace

Status EncryptSealedStream(std::span<const std::uint8_t, SEALED_KEY_SIZE> masterKey, const SealedHeader& header,
                           ByteSource& source, ByteSink& sink, std::size_t chunkSize) noexcept
{
    return Chunks(true, masterKey, header, source, sink, chunkSize);
}

Status DecryptSealedStream(std::span<const std::uint8_t, SEALED_KEY_SIZE> masterKey, const SealedHeader& header,
                           ByteSource& source, ByteSink& sink, std::size_t chunkSize) noexcept
{
    return Chunks(false, masterKey, header, source, sink, chunkSize);
}

}  // namespace zarnocrypt
