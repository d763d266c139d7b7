// The allocation counts of the boundary tables: the COM task allocator seen
// through a spy, and the C++ heap through the replaced operator new (this is
// the one file of the suite that replaces it).
#include <objidl.h>

#include <utility>

#include "../counting_allocator.h"
#include "com_support.h"

namespace zarnocrypt::test {
namespace {

// What the program holds alive: blocks of the COM task allocator, where
// oleaut32 keeps strings and safe arrays (run with OANOCACHE=1, or it keeps
// freed ones), and C++ heap blocks, counted by the replaced operator new.
// Blocks made before registration come back with fSpyed false and are not
// counted, nor are those of Wine's own threads. Nothing the tests reach reallocates.
struct CountingSpy final : IMallocSpy {
    long live = 0;
    const DWORD owner = GetCurrentThreadId();
    bool Mine() const { return GetCurrentThreadId() == owner; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMallocSpy) ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // a static object
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    // Automation blocks fail in the same count as heap blocks; a zero size makes the allocation fail.
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override
    {
        if (!Mine())
            return size;
        if (allocationsUntilFailure == 0)
            return 0;
        allocationsUntilFailure -= allocationsUntilFailure > 0;
        return size;
    }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) override { live += Mine() && actual != nullptr; return actual; }
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL spyed) override { live -= Mine() && request && spyed; return request; }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) override
    {
        *newRequest = request;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override { return actual; }
    void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, BOOL) override { return size; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}
} spy;

}  // namespace

std::pair<long, long> LiveCounts()
{
    static const HRESULT registered = CoRegisterMallocSpy(&spy);
    EXPECT_EQ(S_OK, registered);
    return {spy.live, liveAllocations};
}

long FailAllocationsFrom(long n)
{
    return std::exchange(allocationsUntilFailure, n);
}

}  // namespace zarnocrypt::test
