#include "crypter_type_info.h"

#include <oleauto.h>

#include <atomic>
#include <cwchar>
#include <new>

#include "Zarnocrypt_h.h"

namespace zarnocrypt {
namespace {

struct CachedName {
    BSTR name = nullptr;
    DISPID id = DISPID_UNKNOWN;
};

// Each member name of the interface as the type library spells it.
class NameCache {
public:
    HRESULT Build(ITypeInfo* typeInfo) noexcept
    {
        TYPEATTR* attributes = nullptr;
        HRESULT result = typeInfo->GetTypeAttr(&attributes);
        if (FAILED(result))
            return result;
        const UINT count = attributes->cFuncs;
        typeInfo->ReleaseTypeAttr(attributes);

        Clear();
        names_ = new (std::nothrow) CachedName[count];
        if (names_ == nullptr)
            return E_OUTOFMEMORY;
        for (UINT i = 0; i < count && SUCCEEDED(result); ++i) {
            FUNCDESC* function = nullptr;
            result = typeInfo->GetFuncDesc(i, &function);
            if (FAILED(result))
                break;
            CachedName& entry = names_[count_];
            entry.id = function->memid;
            result = typeInfo->GetDocumentation(function->memid, &entry.name, nullptr, nullptr, nullptr);
            typeInfo->ReleaseFuncDesc(function);
            if (SUCCEEDED(result))
                ++count_;
        }
        if (FAILED(result))
            Clear();
        return result;
    }

    bool Find(const wchar_t* name, DISPID& id) const noexcept
    {
        const std::size_t length = std::wcslen(name);
        for (UINT i = 0; i < count_; ++i) {
            const CachedName& entry = names_[i];
            if (SysStringLen(entry.name) == length && std::wmemcmp(entry.name, name, length) == 0) {
                id = entry.id;
                return true;
            }
        }
        return false;
    }

    void Clear() noexcept
    {
        for (UINT i = 0; i < count_; ++i)
            SysFreeString(names_[i].name);
        delete[] names_;
        names_ = nullptr;
        count_ = 0;
    }

private:
    CachedName* names_ = nullptr;
    UINT count_ = 0;
};

// The destructor leaves the type information alone: static destructors run
// at process exit too, when the libraries behind it may be gone already. The
// module releases it on FreeLibrary instead.
class TypeInfoCache {
public:
    TypeInfoCache() noexcept { InitializeCriticalSection(&lock_); }
    ~TypeInfoCache() { DeleteCriticalSection(&lock_); }

    TypeInfoCache(const TypeInfoCache&) = delete;
    TypeInfoCache& operator=(const TypeInfoCache&) = delete;

    // The loaded type information, borrowed; null with the failure otherwise.
    ITypeInfo* Load(LCID lcid, HRESULT& result) noexcept
    {
        // Set once and never changed until termination: the plain test spares
        // every later call the critical section.
        ITypeInfo* loaded = typeInfo_.load(std::memory_order_acquire);
        result = S_OK;
        if (loaded != nullptr)
            return loaded;
        EnterCriticalSection(&lock_);
        loaded = typeInfo_.load(std::memory_order_relaxed);
        if (loaded == nullptr)
            result = LoadLocked(lcid, loaded);
        LeaveCriticalSection(&lock_);
        return loaded;
    }

    const NameCache& Names() const noexcept { return names_; }

    void Release() noexcept
    {
        EnterCriticalSection(&lock_);
        ITypeInfo* loaded = typeInfo_.exchange(nullptr, std::memory_order_acq_rel);
        if (loaded != nullptr)
            loaded->Release();
        names_.Clear();
        LeaveCriticalSection(&lock_);
    }

private:
    HRESULT LoadLocked(LCID lcid, ITypeInfo*& loaded) noexcept
    {
        ITypeLib* library = nullptr;
        HRESULT result = LoadRegTypeLib(LIBID_ZARNOCRYPTLib, 1, 0, lcid, &library);
        if (FAILED(result))
            return result;
        ITypeInfo* typeInfo = nullptr;
        result = library->GetTypeInfoOfGuid(IID_ICrypter2, &typeInfo);
        library->Release();
        if (FAILED(result))
            return result;
        result = names_.Build(typeInfo);
        if (FAILED(result)) {
            typeInfo->Release();
            return result;
        }
        loaded = typeInfo;
        typeInfo_.store(typeInfo, std::memory_order_release);
        return S_OK;
    }

    CRITICAL_SECTION lock_;
    std::atomic<ITypeInfo*> typeInfo_{nullptr};
    NameCache names_;
};

// Constructed before DllMain runs.
TypeInfoCache cache;

}  // namespace

HRESULT GetCrypterTypeInfo(LCID lcid, ITypeInfo** typeInfo) noexcept
{
    HRESULT result = S_OK;
    *typeInfo = cache.Load(lcid, result);
    if (*typeInfo != nullptr)
        (*typeInfo)->AddRef();
    return result;
}

HRESULT GetCrypterIDsOfNames(LCID lcid, LPOLESTR* names, UINT count, DISPID* ids) noexcept
{
    HRESULT result = S_OK;
    ITypeInfo* typeInfo = cache.Load(lcid, result);
    if (typeInfo == nullptr)
        return result;
    if (count == 0)
        return S_OK;
    if (names == nullptr || ids == nullptr)
        return E_POINTER;
    for (UINT i = 0; i < count; ++i) {
        if (names[i] == nullptr)
            return DISP_E_UNKNOWNNAME;
    }
    // The names after the first are the parameters of the member named
    // first (named arguments, as VBA passes them): the type information
    // resolves them as a whole.
    if (count == 1 && cache.Names().Find(names[0], ids[0]))
        return S_OK;
    return typeInfo->GetIDsOfNames(names, count, ids);
}

void ReleaseCrypterTypeInfo() noexcept
{
    cache.Release();
}

}  // namespace zarnocrypt
