// A replaced global operator new that counts live blocks and can be made to
// fail from the N-th allocation on. The replacement is program-wide: include
// this in exactly one file of a test program.
#pragma once

#include <cstdlib>
#include <new>

// new is paired with free on purpose; GCC, seeing both inlined, would take
// them for a mismatched pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace zarnocrypt::test {

inline long liveAllocations = 0;
inline long allocationsUntilFailure = -1;  // -1: never fail; once 0, every allocation fails

inline void* CountedAllocate(std::size_t size) noexcept
{
    if (allocationsUntilFailure == 0)
        return nullptr;
    if (allocationsUntilFailure > 0)
        --allocationsUntilFailure;
    void* memory = std::malloc(size == 0 ? 1 : size);
    liveAllocations += memory != nullptr;
    return memory;
}

inline void CountedFree(void* memory) noexcept
{
    liveAllocations -= memory != nullptr;
    std::free(memory);
}

}  // namespace zarnocrypt::test

void* operator new(std::size_t size)
{
    if (void* memory = zarnocrypt::test::CountedAllocate(size))
        return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return zarnocrypt::test::CountedAllocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return zarnocrypt::test::CountedAllocate(size); }
void operator delete(void* memory) noexcept { zarnocrypt::test::CountedFree(memory); }
void operator delete[](void* memory) noexcept { zarnocrypt::test::CountedFree(memory); }
void operator delete(void* memory, std::size_t) noexcept { zarnocrypt::test::CountedFree(memory); }
void operator delete[](void* memory, std::size_t) noexcept { zarnocrypt::test::CountedFree(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { zarnocrypt::test::CountedFree(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { zarnocrypt::test::CountedFree(memory); }
