// The Crypter automation object: creation and the hook the server module
// uses to keep its lock count. ICrypter itself comes from the IDL.
#pragma once

#include <windows.h>

#include "Zarnocrypt_h.h"

namespace zarnocrypt {

// A new Crypter with an empty key, queried for riid. *ppv is null on failure
// (E_POINTER, E_OUTOFMEMORY, E_NOINTERFACE).
HRESULT CreateCrypter(REFIID riid, void** ppv) noexcept;

// A new Crypter aggregated by outer: *ppv receives the aggregate's own,
// non-delegating IUnknown (the only interface an outer object may ask for
// at creation; any other gives CLASS_E_NOAGGREGATION). The interfaces that
// it hands out delegate their IUnknown methods to outer.
HRESULT CreateCrypterAggregate(IUnknown* outer, REFIID riid, void** ppv) noexcept;

// Told +1 when an object is constructed and -1 when one is destroyed. Set
// once, before the first object is made; none by default.
using ObjectCountHook = void (*)(LONG delta) noexcept;
void SetObjectCountHook(ObjectCountHook hook) noexcept;

}  // namespace zarnocrypt
