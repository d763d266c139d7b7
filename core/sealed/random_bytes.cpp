#include "random_bytes.h"

#include <algorithm>
#include <cstddef>

#include "secure_wipe.h"

#ifdef _WIN32
#include <windows.h>
#include <bcrypt.h>
#else
#include <sys/random.h>

#include <cerrno>
#endif

namespace zarnocrypt {
namespace {

#ifdef _WIN32
// The system's preferred generator takes at most a ULONG at a time.
bool FillFromSystem(std::uint8_t* bytes, std::size_t size) noexcept
{
    while (size != 0) {
        const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(size, 1U << 30));
        if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes, piece, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
            return false;
        bytes += piece;
        size -= piece;
    }
    return true;
}
#else
// getrandom gives large requests in parts and may be interrupted by a signal
// before it gives anything.
bool FillFromSystem(std::uint8_t* bytes, std::size_t size) noexcept
{
    while (size != 0) {
        const ssize_t got = getrandom(bytes, size, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}
#endif

}  // namespace

Status RandomBytes(std::span<std::uint8_t> bytes) noexcept
{
    if (FillFromSystem(bytes.data(), bytes.size()))
        return Status::Ok;
    SecureWipe(bytes.data(), bytes.size());
    return Status::Io;
}

}  // namespace zarnocrypt
