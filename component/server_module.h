// The state of the loaded server DLL behind its entry point and its four
// exports (DllGetClassObject, DllCanUnloadNow, DllRegisterServer and
// DllUnregisterServer, declared by the system headers). A program that links
// the module in calls InitializeModule and TerminateModule where the loader
// would call the entry point.
#pragma once

#include <windows.h>

namespace zarnocrypt {

// Process attach: keeps the instance handle (the module whose path and type
// library registration uses) and starts counting Crypter objects.
void InitializeModule(HINSTANCE instance) noexcept;

// FreeLibrary: releases the cached class object and the type information.
// The entry point skips it at process exit, when the libraries that made
// them may be gone already.
void TerminateModule() noexcept;

// Everything that keeps the DLL loaded: live objects, LockServer(TRUE) locks
// and the class object while anybody but the module holds it.
LONG ModuleLockCount() noexcept;

}  // namespace zarnocrypt
