#include "argon2id.h"

#include <gcrypt.h>

#include "sealed_crypto_init.h"
#include "secure_wipe.h"

namespace zarnocrypt {

bool Argon2ParametersAllowed(unsigned t, unsigned log2Memory, unsigned p) noexcept
{
    return t >= 1 && t <= ARGON2_MAX_ITERATIONS && p >= 1 && p <= ARGON2_MAX_LANES &&
           log2Memory <= ARGON2_MAX_LOG2_MEMORY && (1u << log2Memory) >= 8 * p;
}

Status Argon2id(std::span<const std::uint8_t> password, std::span<const std::uint8_t> salt, unsigned t,
                unsigned log2Memory, unsigned p, std::span<std::uint8_t, SEALED_KEY_SIZE> key) noexcept
{
    SecureWipe(key.data(), key.size());
    if (!Argon2ParametersAllowed(t, log2Memory, p))
        return Status::BadHeader;
    if (password.empty())
        return Status::NoKey;
    if (!SealedCryptoReady())
        return Status::NoMemory;

    const unsigned long parameters[4] = {SEALED_KEY_SIZE, t, 1ul << log2Memory, p};
    gcry_kdf_hd_t handle = nullptr;
    gcry_error_t error = gcry_kdf_open(&handle, GCRY_KDF_ARGON2, GCRY_KDF_ARGON2ID, parameters, 4, password.data(),
                                       password.size(), salt.data(), salt.size(), nullptr, 0, nullptr, 0);
    if (!error)
        error = gcry_kdf_compute(handle, nullptr);
    if (!error)
        error = gcry_kdf_final(handle, key.size(), key.data());
    if (handle)
        gcry_kdf_close(handle);  // wipes and frees its memory blocks
    if (error) {
        SecureWipe(key.data(), key.size());
        return Status::NoMemory;
    }
    return Status::Ok;
}

}  // namespace zarnocrypt
