#include "random_source.h"

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#include <bcrypt.h>
#else
#include <unistd.h>
#endif

namespace zarnocrypt::cli {

bool FillRandom(std::uint8_t* bytes, std::size_t size) noexcept
{
#ifdef _WIN32
    return BCryptGenRandom(nullptr, bytes, static_cast<ULONG>(size), BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
#else
    // getentropy (getrandom on Linux) gives at most 256 bytes per call and
    // waits until the pool is seeded.
    for (std::size_t done = 0; done < size;) {
        const std::size_t part = std::min<std::size_t>(size - done, 256);
        if (getentropy(bytes + done, part) != 0)
            return false;
        done += part;
    }
    return true;
#endif
}

}  // namespace zarnocrypt::cli
