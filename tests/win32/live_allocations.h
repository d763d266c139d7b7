// What a test program holds alive: blocks of the COM task allocator, where
// oleaut32 keeps strings and safe arrays (run with OANOCACHE=1, or it keeps
// freed ones), and C++ heap blocks, counted by a replaced operator new that
// can also be made to fail.
#pragma once

#include <utility>

namespace zarnocrypt::test {

// {automation blocks, heap blocks}
std::pair<long, long> LiveCounts();

// From the n-th heap allocation on, every one fails; -1 stops failing.
// Returns how many allocations were still to go before the first failure.
long FailAllocationsFrom(long n);

}  // namespace zarnocrypt::test
