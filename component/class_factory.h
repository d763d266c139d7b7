// The class object of Crypter. The module's cache holds its first
// reference; any number of outside references keep the module loaded as one
// lock, so the cached class object alone never does.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace zarnocrypt {

// Makes an instance: plain when outer is null, else aggregated (riid is then IID_IUnknown).
using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv) noexcept;

// A new class factory holding creator, as its IUnknown with one reference
// (the cache's). E_OUTOFMEMORY when it cannot be allocated.
HRESULT CreateClassFactory(InstanceCreator creator, IUnknown** unknown) noexcept;

}  // namespace zarnocrypt
