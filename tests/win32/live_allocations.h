// What a test program holds alive: blocks of the COM task allocator, where
// oleaut32 keeps automation strings and safe arrays (counted by an
// IMallocSpy), and C++ heap blocks, the Crypter objects and the component's
// buffers among them (counted by a replaced operator new, which can also be
// made to fail). Run with OANOCACHE=1, or oleaut32 keeps freed strings.
#pragma once

#include <string>

namespace zarnocrypt::test {

struct LiveCounts {
    long automation = 0;
    long heap = 0;
};

LiveCounts CurrentLiveCounts();
void ExpectNothingLeft(const LiveCounts& before, const std::string& label);

// From the n-th heap allocation on, every one fails; -1 stops failing.
// Returns how many allocations were still to go before the first failure.
long FailAllocationsFrom(long n);

}  // namespace zarnocrypt::test
