// The state of the loaded server DLL: its instance handle, the lock count
// that decides when it may be unloaded, and the object table with its one
// entry, Crypter. DllMain sets it up and tears it down; the exports and the
// class factory work on it.
#pragma once

#include <windows.h>

namespace zarnocrypt {

// Process attach: keeps the instance handle (the module whose resources
// register it) and starts counting Crypter objects. Process detach:
// TerminateModule releases the cached class object and the type information.
void InitializeModule(HINSTANCE instance) noexcept;
void TerminateModule() noexcept;

// Everything that must keep the DLL loaded: live objects, LockServer(TRUE)
// locks and the class object while anybody but the module holds it.
void LockModule() noexcept;
void UnlockModule() noexcept;
LONG ModuleLockCount() noexcept;

// The cached class object of clsid queried for riid; the class object is
// made once, on the first request. CLASS_E_CLASSNOTAVAILABLE for any class
// but Crypter.
HRESULT GetModuleClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept;

// Each class's registry script (resource "REGISTRY" 101) and then the type
// library held in the module, which is registered from the module's path. A
// script failure is returned before the type library is touched.
HRESULT RegisterModule() noexcept;
HRESULT UnregisterModule() noexcept;

}  // namespace zarnocrypt
