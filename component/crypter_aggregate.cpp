// The aggregation shell: a Crypter embedded in an object whose IUnknown is
// the non-delegating one that the outer object keeps. Everything else the
// shell hands out belongs to the Crypter and counts on the outer object.
#include <new>

#include "crypter.h"
#include "crypter_object.h"

namespace zarnocrypt {

class CrypterAggregate final : public IUnknown {
public:
    explicit CrypterAggregate(IUnknown* outer) noexcept : inner_(outer) {}

    CrypterAggregate(const CrypterAggregate&) = delete;
    CrypterAggregate& operator=(const CrypterAggregate&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) noexcept override
    {
        if (ppv == nullptr)
            return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown))
            return inner_.InternalQueryInterface(riid, ppv);
        *ppv = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }

    // Apartment-threaded like the object itself: a plain count.
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++references_; }

    ULONG STDMETHODCALLTYPE Release() noexcept override
    {
        const ULONG remaining = --references_;
        if (remaining == 0)
            delete this;
        return remaining;
    }

private:
    ~CrypterAggregate() = default;

    ULONG references_ = 1;
    Crypter inner_;  // its constructor and destructor keep the module's object count
};

HRESULT CreateCrypterAggregate(IUnknown* outer, REFIID riid, void** ppv) noexcept
{
    if (ppv == nullptr)
        return E_POINTER;
    *ppv = nullptr;
    // An interface of the inner object would count on the outer one only, and
    // the shell would be left without an owner.
    if (outer == nullptr || !IsEqualIID(riid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    CrypterAggregate* shell = new (std::nothrow) CrypterAggregate(outer);
    if (shell == nullptr)
        return E_OUTOFMEMORY;
    const HRESULT result = shell->QueryInterface(riid, ppv);
    shell->Release();
    return result;
}

}  // namespace zarnocrypt
