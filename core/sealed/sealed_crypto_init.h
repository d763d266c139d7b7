// libgcrypt must be initialised once per process before its first use.
#pragma once

namespace zarnocrypt {

// True once libgcrypt is ready; safe from any thread, any number of times.
// False only when the library linked at run time is older than the one built
// against, and then no primitive may be used.
bool SealedCryptoReady() noexcept;

}  // namespace zarnocrypt
