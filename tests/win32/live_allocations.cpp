#include "live_allocations.h"

#include <objidl.h>

#include <gtest/gtest.h>

#include "../counting_allocator.h"

namespace zarnocrypt::test {
namespace {

// Blocks made before registration come back with fSpyed false and are not
// counted; a reallocation counts only where it allocates or frees outright.
class CountingSpy final : public IMallocSpy {
public:
    long live = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMallocSpy);
        *ppv = known ? this : nullptr;
        return known ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // a static object
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) override { live += actual != nullptr; return actual; }
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL spyed) override
    {
        live -= request != nullptr && spyed;
        return request;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL spyed) override
    {
        reallocDelta_ = request == nullptr ? 1 : (size == 0 && spyed ? -1 : 0);
        *newRequest = request;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL) override
    {
        live += reallocDelta_ > 0 ? actual != nullptr : reallocDelta_;
        return actual;
    }
    void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, BOOL) override { return size; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

private:
    int reallocDelta_ = 0;
};

CountingSpy spy;

}  // namespace

LiveCounts CurrentLiveCounts()
{
    static const HRESULT registered = CoRegisterMallocSpy(&spy);
    EXPECT_EQ(S_OK, registered);
    return {spy.live, liveAllocations};
}

void ExpectNothingLeft(const LiveCounts& before, const std::string& label)
{
    const LiveCounts after = CurrentLiveCounts();
    EXPECT_EQ(before.automation, after.automation) << label << ": strings or safe arrays left alive";
    EXPECT_EQ(before.heap, after.heap) << label << ": heap blocks left alive";
}

long FailAllocationsFrom(long n)
{
    const long left = allocationsUntilFailure;
    allocationsUntilFailure = n;
    return left;
}

}  // namespace zarnocrypt::test
