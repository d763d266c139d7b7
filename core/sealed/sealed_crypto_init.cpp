#include "sealed_crypto_init.h"

#include <gcrypt.h>

namespace zarnocrypt {
namespace {

bool Initialise() noexcept
{
    if (gcry_check_version(GCRYPT_VERSION) == nullptr)
        return false;
    // A host that uses libgcrypt itself may have set it up already; its choices stand.
    if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P))
        return true;
    // Secure memory would need privileges to lock pages; keys are wiped by us instead.
    gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
    gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    return true;
}

}  // namespace

bool SealedCryptoReady() noexcept
{
    // A function-local static is initialised exactly once, even when threads race.
    static const bool ready = Initialise();
    return ready;
}

}  // namespace zarnocrypt
