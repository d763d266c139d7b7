// What a test program holds alive: Crypter objects (the object count hook),
// blocks of the COM task allocator, where oleaut32 keeps automation strings,
// safe arrays and their descriptors (an IMallocSpy), and C++ heap blocks (a
// replaced operator new). Run with OANOCACHE=1: oleaut32's string cache would
// otherwise keep freed strings.
#pragma once

#include <windows.h>

#include <string>

namespace zarnocrypt::test {

struct LiveCounts {
    long objects = 0;
    long automation = 0;  // task-allocator blocks: BSTRs, SAFEARRAYs and their data
    long heap = 0;        // operator new blocks: the component's buffers among them
};

// Starts counting on first use; the spy stays registered for the program's life.
LiveCounts CurrentLiveCounts();

// Reports every count that differs from before.
void ExpectNothingLeft(const LiveCounts& before, const std::string& label);

}  // namespace zarnocrypt::test
