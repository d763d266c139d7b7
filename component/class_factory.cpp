#include "class_factory.h"

#include <new>

#include "server_module.h"

namespace zarnocrypt {
namespace {

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(InstanceCreator creator) noexcept : creator_(creator)
    {
        InitializeCriticalSection(&lock_);
    }

    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    // IClassFactory only; IUnknown is the same pointer.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IClassFactory) && !IsEqualIID(riid, IID_IUnknown))
            return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }

    // Reachable from every apartment. The second reference is the first from
    // outside the module, and it alone takes a module lock.
    ULONG STDMETHODCALLTYPE AddRef() noexcept override
    {
        EnterCriticalSection(&lock_);
        const ULONG count = static_cast<ULONG>(InterlockedIncrement(&references_));
        if (count == 2)
            LockModule();
        LeaveCriticalSection(&lock_);
        return count;
    }

    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        EnterCriticalSection(&lock_);
        const ULONG count = static_cast<ULONG>(InterlockedDecrement(&references_));
        if (count == 1)
            UnlockModule();
        LeaveCriticalSection(&lock_);
        if (count == 0)
            delete this;
        return count;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (outer != nullptr && !IsEqualIID(riid, IID_IUnknown))
            return CLASS_E_NOAGGREGATION;
        return creator_(outer, riid, ppv);
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override
    {
        if (lock)
            LockModule();
        else
            UnlockModule();
        return S_OK;
    }

private:
    friend HRESULT zarnocrypt::CreateClassFactory(InstanceCreator, IUnknown**) noexcept;
    ~ClassFactory() { DeleteCriticalSection(&lock_); }

    CRITICAL_SECTION lock_;
    LONG references_ = 0;
    const InstanceCreator creator_;
};

}  // namespace

HRESULT CreateClassFactory(InstanceCreator creator, IUnknown** unknown) noexcept
{
    *unknown = nullptr;
    ClassFactory* factory = new (std::nothrow) ClassFactory(creator);
    if (factory == nullptr)
        return E_OUTOFMEMORY;
    const HRESULT result = factory->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(unknown));
    if (FAILED(result))
        delete factory;  // never referenced: the count is still 0
    return result;
}

}  // namespace zarnocrypt
