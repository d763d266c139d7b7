// A stand-in for Zarnocrypt.dll that registers only the class key Setup
// looks at. Each call is logged to C:\setup-test.log with the DLL's path, and
// takes a while, so that a Setup that doesn't wait for regsvr32 is caught.
// Built twice: FAKE_REGISTER_FAILS makes DllRegisterServer fail.
#include <cstdio>
#include <string>
#include <windows.h>
#include <objbase.h>

#include "Zarnocrypt_h.h"

namespace {

HINSTANCE module;
constexpr DWORD kCallDurationMs = 800;

std::string ClassKey()
{
    wchar_t guid[40];
    StringFromGUID2(CLSID_Crypter, guid, 40);
    char narrow[40];
    WideCharToMultiByte(CP_ACP, 0, guid, -1, narrow, sizeof narrow, nullptr, nullptr);
    return std::string("CLSID\\") + narrow;
}

std::string ModulePath()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, sizeof path);
    return path;
}

void Log(const char* call)
{
    if (std::FILE* log = std::fopen("C:\\setup-test.log", "a")) {
        std::fprintf(log, "%s %s\n", call, ModulePath().c_str());
        std::fclose(log);
    }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        module = instance;
    return TRUE;
}

extern "C" HRESULT __stdcall DllRegisterServer()
{
    Sleep(kCallDurationMs);
#ifdef FAKE_REGISTER_FAILS
    Log("register-fails");
    return E_FAIL;
#else
    const std::string key = ClassKey();
    const std::string path = ModulePath();
    const char name[] = "Crypter Class";
    if (RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, name, sizeof name - 1) != ERROR_SUCCESS ||
        RegSetValueA(HKEY_CLASSES_ROOT, (key + "\\InprocServer32").c_str(), REG_SZ, path.c_str(),
                     static_cast<DWORD>(path.size())) != ERROR_SUCCESS)
        return E_FAIL;
    Log("register");
    return S_OK;
#endif
}

extern "C" HRESULT __stdcall DllUnregisterServer()
{
    Sleep(kCallDurationMs);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ClassKey().c_str());
    Log("unregister");
    return S_OK;
}
