#include "live_allocations.h"

#include <objidl.h>

#include <gtest/gtest.h>

#include "../counting_allocator.h"
#include "crypter.h"

namespace {

LONG liveObjects = 0;

void CountObject(LONG delta) noexcept
{
    liveObjects += delta;
}

// Counts the task allocator's live blocks. Blocks made before registration
// come back with fSpyed false and are not counted. Realloc is only counted
// where it allocates or frees outright.
class CountingMallocSpy final : public IMallocSpy {
public:
    long Live() const { return live_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMallocSpy);
        *ppv = known ? static_cast<IMallocSpy*>(this) : nullptr;
        return known ? S_OK : E_NOINTERFACE;
    }
    // A static object: the references are not counted.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T cbRequest) override { return cbRequest; }
    void* STDMETHODCALLTYPE PostAlloc(void* pActual) override
    {
        live_ += pActual != nullptr;
        return pActual;
    }
    void* STDMETHODCALLTYPE PreFree(void* pRequest, BOOL fSpyed) override
    {
        live_ -= pRequest != nullptr && fSpyed;
        return pRequest;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* pRequest, SIZE_T cbRequest, void** ppNewRequest, BOOL fSpyed) override
    {
        reallocFrom_ = pRequest;
        reallocSpyed_ = fSpyed;
        reallocFrees_ = pRequest != nullptr && cbRequest == 0;
        *ppNewRequest = pRequest;
        return cbRequest;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* pActual, BOOL) override
    {
        if (reallocFrom_ == nullptr && pActual != nullptr)
            ++live_;
        else if (reallocFrees_ && reallocSpyed_)
            --live_;
        return pActual;
    }
    void* STDMETHODCALLTYPE PreGetSize(void* pRequest, BOOL) override { return pRequest; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T cbActual, BOOL) override { return cbActual; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* pRequest, BOOL) override { return pRequest; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int fActual) override { return fActual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

private:
    long live_ = 0;
    void* reallocFrom_ = nullptr;
    BOOL reallocSpyed_ = FALSE;
    bool reallocFrees_ = false;
};

CountingMallocSpy spy;

}  // namespace

namespace zarnocrypt::test {

LiveCounts CurrentLiveCounts()
{
    static const bool started = [] {
        EXPECT_EQ(S_OK, CoRegisterMallocSpy(&spy));
        SetObjectCountHook(CountObject);
        return true;
    }();
    (void)started;
    return {liveObjects, spy.Live(), liveAllocations};
}

void ExpectNothingLeft(const LiveCounts& before, const std::string& label)
{
    const LiveCounts after = CurrentLiveCounts();
    EXPECT_EQ(before.objects, after.objects) << label << ": Crypter objects left alive";
    EXPECT_EQ(before.automation, after.automation) << label << ": strings or safe arrays left alive";
    EXPECT_EQ(before.heap, after.heap) << label << ": heap blocks left alive";
}

}  // namespace zarnocrypt::test
