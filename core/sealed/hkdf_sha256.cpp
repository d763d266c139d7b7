#include "hkdf_sha256.h"

#include <gcrypt.h>

#include <algorithm>
#include <initializer_list>

#include "sealed_crypto_init.h"
#include "secure_wipe.h"

namespace zarnocrypt {
namespace {

constexpr std::size_t HASH_SIZE = 32;

// HMAC-SHA256 of the pieces in turn, as if they were one message.
bool Hmac(std::span<const std::uint8_t> key, std::initializer_list<std::span<const std::uint8_t>> pieces,
          std::uint8_t (&out)[HASH_SIZE]) noexcept
{
    gcry_mac_hd_t handle = nullptr;
    if (gcry_mac_open(&handle, GCRY_MAC_HMAC_SHA256, 0, nullptr))
        return false;
    // HMAC takes an empty key as HASH_SIZE zero bytes; libgcrypt wants a pointer either way.
    static const std::uint8_t none[1] = {};
    bool ok = !gcry_mac_setkey(handle, key.empty() ? none : key.data(), key.size());
    for (const auto piece : pieces)
        ok = ok && (piece.empty() || !gcry_mac_write(handle, piece.data(), piece.size()));
    std::size_t size = HASH_SIZE;
    ok = ok && !gcry_mac_read(handle, out, &size) && size == HASH_SIZE;
    gcry_mac_close(handle);
    return ok;
}

}  // namespace

Status HkdfSha256(std::span<const std::uint8_t> ikm, std::span<const std::uint8_t> salt,
                  std::span<const std::uint8_t> info, std::span<std::uint8_t> okm) noexcept
{
    SecureWipe(okm.data(), okm.size());
    if (okm.size() > 255 * HASH_SIZE)
        return Status::TooLarge;
    if (!SealedCryptoReady())
        return Status::NoMemory;

    std::uint8_t prk[HASH_SIZE];
    std::uint8_t block[HASH_SIZE];
    std::size_t blockSize = 0;  // T(0) is empty
    bool ok = Hmac(salt, {ikm}, prk);
    for (std::size_t done = 0, counter = 1; ok && done < okm.size(); done += blockSize, ++counter) {
        const std::uint8_t index[1] = {static_cast<std::uint8_t>(counter)};
        ok = Hmac(prk, {std::span(block, blockSize), info, index}, block);
        blockSize = HASH_SIZE;
        std::copy_n(block, std::min(HASH_SIZE, okm.size() - done), okm.begin() + done);
    }
    SecureWipe(prk, sizeof prk);
    SecureWipe(block, sizeof block);
    if (!ok) {
        SecureWipe(okm.data(), okm.size());
        return Status::NoMemory;
    }
    return Status::Ok;
}

}  // namespace zarnocrypt
