// The in-process server: lock count, the one cached class factory, the DLL's
// entry point and its four exports.
#include "server_module.h"

#include <objbase.h>
#include <olectl.h>

#include <atomic>
#include <new>

#include "crypter.h"
#include "crypter_type_info.h"
#include "registration.h"

namespace zarnocrypt {
namespace {

struct ModuleState {
    HINSTANCE instance = nullptr;
    LONG lockCount = 0;
    CRITICAL_SECTION classObjectLock;
    std::atomic<IClassFactory*> classObject{nullptr};  // set once, under classObjectLock
};

ModuleState module;

void LockModule() noexcept
{
    InterlockedIncrement(&module.lockCount);
}

void UnlockModule() noexcept
{
    InterlockedDecrement(&module.lockCount);
}

void CountObject(LONG delta) noexcept
{
    if (delta > 0)
        LockModule();
    else
        UnlockModule();
}

class ClassFactory final : public IClassFactory {
public:
    ClassFactory() noexcept { InitializeCriticalSection(&lock_); }

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

    // Reachable from every apartment. The module's cache holds the first
    // reference, so the second is the first from outside, and it alone takes
    // a module lock: the cached object by itself never keeps the DLL loaded.
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
        if (outer == nullptr)
            return CreateCrypter(riid, ppv);
        if (!IsEqualIID(riid, IID_IUnknown))
            return CLASS_E_NOAGGREGATION;
        return CreateCrypterAggregate(outer, riid, ppv);
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
    ~ClassFactory() { DeleteCriticalSection(&lock_); }

    CRITICAL_SECTION lock_;
    LONG references_ = 1;  // the module's cache
};

// The cached class factory, made on the first request; only one is ever made.
HRESULT CachedClassObject(IClassFactory*& factory) noexcept
{
    factory = module.classObject.load(std::memory_order_acquire);
    if (factory != nullptr)
        return S_OK;
    EnterCriticalSection(&module.classObjectLock);
    factory = module.classObject.load(std::memory_order_relaxed);
    if (factory == nullptr) {
        factory = new (std::nothrow) ClassFactory();
        module.classObject.store(factory, std::memory_order_release);
    }
    LeaveCriticalSection(&module.classObjectLock);
    return factory != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

void InitializeModule(HINSTANCE instance) noexcept
{
    module.instance = instance;
    module.lockCount = 0;
    InitializeCriticalSection(&module.classObjectLock);
    SetObjectCountHook(CountObject);
}

void TerminateModule() noexcept
{
    IClassFactory* classObject = module.classObject.exchange(nullptr);
    if (classObject != nullptr)
        classObject->Release();
    ReleaseCrypterTypeInfo();
    DeleteCriticalSection(&module.classObjectLock);
}

LONG ModuleLockCount() noexcept
{
    return InterlockedCompareExchange(&module.lockCount, 0, 0);
}

}  // namespace zarnocrypt

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        zarnocrypt::InitializeModule(instance);
        // No per-thread state: thread notifications would only cost time.
        DisableThreadLibraryCalls(instance);
        break;
    case DLL_PROCESS_DETACH:
        // A non-null reserved means the process is exiting: the libraries
        // behind the cached objects may be unloaded already, and the memory
        // goes with the process anyway.
        if (reserved == nullptr)
            zarnocrypt::TerminateModule();
        break;
    default:
        break;
    }
    return TRUE;
}

STDAPI DllCanUnloadNow()
{
    return zarnocrypt::ModuleLockCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_Crypter))
        return CLASS_E_CLASSNOTAVAILABLE;
    IClassFactory* factory = nullptr;
    const HRESULT result = zarnocrypt::CachedClassObject(factory);
    return SUCCEEDED(result) ? factory->QueryInterface(riid, ppv) : result;
}

STDAPI DllRegisterServer()
{
    return zarnocrypt::RegisterServer(zarnocrypt::module.instance);
}

STDAPI DllUnregisterServer()
{
    return zarnocrypt::UnregisterServer(zarnocrypt::module.instance);
}
