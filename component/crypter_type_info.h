// The type information of ICrypter, from which IDispatch is served. It is
// loaded from the registered type library on first use, once per module,
// and kept until the module is freed.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace zarnocrypt {

// The cached type information with a reference added, loading it first if
// needed (LoadRegTypeLib with the library's identifier, version 1.0 and
// lcid). A load failure is returned, with *typeInfo null, and the next
// call tries again.
HRESULT GetCrypterTypeInfo(LCID lcid, ITypeInfo** typeInfo) noexcept;

// Resolves each name as a member name of its own: exact spellings from the
// name cache, others through the type information, which ignores case. Stops
// at the first unknown name; the DISPIDs written before it stay written.
HRESULT GetCrypterIDsOfNames(LCID lcid, LPOLESTR* names, UINT count, DISPID* ids) noexcept;

// FreeLibrary: drops the type information and the name cache.
void ReleaseCrypterTypeInfo() noexcept;

}  // namespace zarnocrypt
