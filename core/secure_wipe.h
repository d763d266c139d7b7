// Overwrites secret memory with zeros in a way the optimiser cannot drop.
#pragma once

#include <cstddef>
#include <cstring>

namespace zarnocrypt {

inline void SecureWipe(void* data, std::size_t size) noexcept
{
    if (data == nullptr || size == 0)
        return;
    std::memset(data, 0, size);
    // The empty asm claims to read the memory, so the stores above are live.
    __asm__ __volatile__("" : : "r"(data) : "memory");
}

}  // namespace zarnocrypt
