// The built Zarnocrypt.dll as the tests that load or register it find it.
#pragma once

#include "com_support.h"

namespace zarnocrypt::test {

// Its full Windows path, from ZARNOCRYPT_DLL.
inline std::wstring ServerPath()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"ZARNOCRYPT_DLL", path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? path : L"(ZARNOCRYPT_DLL is not set)";
}

inline std::wstring GuidText(REFGUID guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// The platform whose subkey holds this build's type library registration.
inline constexpr SYSKIND OWN_SYSKIND = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
inline constexpr const wchar_t* OWN_SYSKIND_KEY = sizeof(void*) == 8 ? L"win64" : L"win32";

// The DLL loaded by its path, its exports found by their plain names.
struct ServerDll {
    HMODULE module = LoadLibraryW(ServerPath().c_str());
    template <typename F>
    F Export(const char* name) { return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))); }
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = Export<decltype(canUnloadNow)>("DllCanUnloadNow");
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) =
        Export<decltype(getClassObject)>("DllGetClassObject");
    HRESULT(STDAPICALLTYPE* registerServer)() = Export<decltype(registerServer)>("DllRegisterServer");
    ~ServerDll() { FreeLibrary(module); }

    IClassFactory* Factory()
    {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(S_OK, getClassObject(CLSID_Crypter, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
        return factory;
    }
};

}  // namespace zarnocrypt::test
