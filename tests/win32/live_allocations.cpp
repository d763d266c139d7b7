#include "live_allocations.h"

#include <objidl.h>

#include <gtest/gtest.h>

#include "../counting_allocator.h"

namespace zarnocrypt::test {
namespace {

// Blocks made before registration come back with fSpyed false and are not
// counted; a reallocation counts only where it allocates or frees outright.
struct CountingSpy final : IMallocSpy {
    long live = 0;
    int reallocDelta = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMallocSpy) ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // a static object
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) override { live += actual != nullptr; return actual; }
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL spyed) override { live -= request && spyed; return request; }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL spyed) override
    {
        reallocDelta = request == nullptr ? 1 : (size == 0 && spyed ? -1 : 0);
        *newRequest = request;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override
    {
        live += reallocDelta > 0 ? actual != nullptr : reallocDelta;
        return actual;
    }
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
