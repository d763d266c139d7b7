#include "server_module.h"

#include <oleauto.h>

#include <atomic>
#include <iterator>
#include <new>
#include <string>

#include "class_factory.h"
#include "crypter.h"
#include "crypter_type_info.h"
#include "registrar_win.h"

namespace zarnocrypt {
namespace {

constexpr UINT REGISTRY_SCRIPT_RESOURCE = 101;

HRESULT UpdateCrypterRegistry(bool registering) noexcept;
HRESULT CreateCrypterInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept;

struct ObjectEntry {
    const CLSID* clsid;
    HRESULT (*updateRegistry)(bool registering) noexcept;
    HRESULT (*createClassObject)(InstanceCreator creator, IUnknown** unknown) noexcept;
    InstanceCreator createInstance;
    std::atomic<IUnknown*> classObject;  // the cache; set once, under classObjectLock
};

struct ModuleState {
    HINSTANCE instance = nullptr;
    LONG lockCount = 0;
    CRITICAL_SECTION classObjectLock;
    ObjectEntry objects[1] = {
        {&CLSID_Crypter, UpdateCrypterRegistry, CreateClassFactory, CreateCrypterInstance, nullptr},
    };
};

ModuleState module;

void CountObject(LONG delta) noexcept
{
    if (delta > 0)
        LockModule();
    else
        UnlockModule();
}

HRESULT UpdateCrypterRegistry(bool registering) noexcept
{
    try {
        ReplacementMap replacements;
        if (!AddGuidReplacement(replacements, "CLSID", CLSID_Crypter) ||
            !AddGuidReplacement(replacements, "LIBID", LIBID_ZARNOCRYPTLib))
            return E_OUTOFMEMORY;
        return UpdateRegistryFromResource(module.instance, REGISTRY_SCRIPT_RESOURCE, registering,
                                          replacements);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CreateCrypterInstance(IUnknown* outer, REFIID riid, void** ppv) noexcept
{
    return outer != nullptr ? CreateCrypterAggregate(outer, riid, ppv) : CreateCrypter(riid, ppv);
}

HRESULT ModuleFileName(std::wstring& path) noexcept
{
    try {
        path.assign(MAX_PATH, L'\0');
        for (;;) {
            const DWORD length = GetModuleFileNameW(module.instance, path.data(), DWORD(path.size()));
            if (length == 0)
                return HRESULT_FROM_WIN32(GetLastError());
            if (length < path.size()) {
                path.resize(length);
                return S_OK;
            }
            if (path.size() >= 32768)  // longer than any Windows path
                return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
            path.resize(path.size() * 2);
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

// The library in resource "TYPELIB" 1 of the module, registered from its path.
HRESULT RegisterTypeLibrary() noexcept
{
    std::wstring path;
    HRESULT result = ModuleFileName(path);
    if (FAILED(result))
        return result;
    ITypeLib* library = nullptr;
    result = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(result))
        return result;
    result = RegisterTypeLib(library, path.data(), nullptr);
    library->Release();
    return result;
}

// The library's keys are already gone when it was never registered, which
// is the state unregistration asks for. Only this build's own platform entry
// goes: a 32-bit and a 64-bit DLL registered side by side share the
// library's key, each under its own platform subkey.
HRESULT UnregisterTypeLibrary() noexcept
{
    constexpr SYSKIND ownPlatform = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
    const HRESULT result = UnRegisterTypeLib(LIBID_ZARNOCRYPTLib, 1, 0, 0, ownPlatform);
    ITypeLib* library = nullptr;
    if (FAILED(result) && LoadRegTypeLib(LIBID_ZARNOCRYPTLib, 1, 0, 0, &library) == TYPE_E_LIBNOTREGISTERED)
        return S_OK;
    if (library != nullptr)
        library->Release();
    return result;
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
    for (ObjectEntry& entry : module.objects) {
        IUnknown* classObject = entry.classObject.exchange(nullptr);
        if (classObject != nullptr)
            classObject->Release();
    }
    ReleaseCrypterTypeInfo();
    DeleteCriticalSection(&module.classObjectLock);
}

void LockModule() noexcept
{
    InterlockedIncrement(&module.lockCount);
}

void UnlockModule() noexcept
{
    InterlockedDecrement(&module.lockCount);
}

LONG ModuleLockCount() noexcept
{
    return InterlockedCompareExchange(&module.lockCount, 0, 0);
}

HRESULT GetModuleClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    for (ObjectEntry& entry : module.objects) {
        if (!IsEqualCLSID(clsid, *entry.clsid))
            continue;
        IUnknown* classObject = entry.classObject.load(std::memory_order_acquire);
        if (classObject == nullptr) {
            HRESULT result = S_OK;
            EnterCriticalSection(&module.classObjectLock);
            classObject = entry.classObject.load(std::memory_order_relaxed);
            if (classObject == nullptr) {
                result = entry.createClassObject(entry.createInstance, &classObject);
                if (SUCCEEDED(result))
                    entry.classObject.store(classObject, std::memory_order_release);
            }
            LeaveCriticalSection(&module.classObjectLock);
            if (FAILED(result))
                return result;
        }
        return classObject->QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT RegisterModule() noexcept
{
    for (const ObjectEntry& entry : module.objects) {
        const HRESULT result = entry.updateRegistry(true);
        if (FAILED(result))
            return result;
    }
    return RegisterTypeLibrary();
}

HRESULT UnregisterModule() noexcept
{
    for (const ObjectEntry& entry : module.objects) {
        const HRESULT result = entry.updateRegistry(false);
        if (FAILED(result))
            return result;
    }
    return UnregisterTypeLibrary();
}

}  // namespace zarnocrypt
