// The DLL's entry point and its four exports, each a thin door into the
// server module.
#include <windows.h>
#include <objbase.h>

#include "server_module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        zarnocrypt::InitializeModule(instance);
        // No per-thread state: thread notifications would only cost time.
        DisableThreadLibraryCalls(instance);
        break;
    case DLL_PROCESS_DETACH:
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
    return zarnocrypt::GetModuleClassObject(clsid, riid, ppv);
}

STDAPI DllRegisterServer()
{
    return zarnocrypt::RegisterModule();
}

STDAPI DllUnregisterServer()
{
    return zarnocrypt::UnregisterModule();
}
