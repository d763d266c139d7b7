// A stand-in for Zarnocrypt.dll that registers only the class key's value
// that Setup looks at. Each call is logged to C:\setup-test.log with the DLL's
// path, and takes a while, so that a Setup that doesn't wait for regsvr32 is
// caught.
#include <cstdio>

#include "class_key.h"

namespace {

// Logs the call with the DLL's path after the time a real registration takes.
void Call(const char* name)
{
    Sleep(800);
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&Call), &self);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(self, path, sizeof path);
    if (std::FILE* log = std::fopen("C:\\setup-test.log", "a")) {
        std::fprintf(log, "%s %s\n", name, path);
        std::fclose(log);
    }
}

}  // namespace

extern "C" HRESULT __stdcall DllRegisterServer()
{
    Call("register");
    const char name[] = "Crypter Class";
    return RegSetValueA(HKEY_CLASSES_ROOT, ClassKey().c_str(), REG_SZ, name, sizeof name - 1) ? E_FAIL : S_OK;
}

extern "C" HRESULT __stdcall DllUnregisterServer()
{
    Call("unregister");
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ClassKey().c_str());
    return S_OK;
}
