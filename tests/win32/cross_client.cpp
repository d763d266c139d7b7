// cross_client report | encrypt|decrypt KEYFILE INFILE OUTFILE
//
// A compiled client of whichever Zarnocrypt.dll its registry view names.
// report: the module that the system loaded and the version read through
// IDispatch (the registered type library of this view), or "error <hresult>".
// encrypt, decrypt: EncryptEx or DecryptEx of a file's bytes.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "Zarnocrypt_h.h"

namespace {

std::string ReadFile(const char* path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

HRESULT Version(IDispatch* crypter, VARIANT* version)
{
    LPOLESTR name = const_cast<LPOLESTR>(L"GetVersionString");
    DISPID id = 0;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    const HRESULT result = crypter->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
    return FAILED(result) ? result : crypter->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, version, nullptr, nullptr);
}

HRESULT Crypt(ICrypter* crypter, bool encrypt, char** files)
{
    std::string key = ReadFile(files[0]), bytes = ReadFile(files[1]);
    key.erase(key.find_last_not_of("\r\n") + 1);
    const std::wstring wideKey(key.begin(), key.end());  // ASCII key texts only
    BSTR keyText = SysAllocString(wideKey.c_str());
    HRESULT result = crypter->SetKey(keyText);
    SysFreeString(keyText);
    SAFEARRAYBOUND bound{ULONG(bytes.size()), 0};
    VARIANT in, out;
    in.vt = VT_ARRAY | VT_I1;
    in.parray = SafeArrayCreate(VT_I1, 1, &bound);
    VariantInit(&out);
    std::memcpy(in.parray->pvData, bytes.data(), bytes.size());
    if (SUCCEEDED(result))
        result = encrypt ? crypter->EncryptEx(in, &out) : crypter->DecryptEx(in, &out);
    if (SUCCEEDED(result) && out.vt == (VT_ARRAY | VT_I1)) {
        std::ofstream file(files[2], std::ios::binary);
        file.write(static_cast<const char*>(out.parray->pvData), out.parray->rgsabound[0].cElements);
        result = file ? S_OK : E_FAIL;
    }
    VariantClear(&in);
    VariantClear(&out);
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (!(argc == 2 && command == "report") && !(argc == 5 && (command == "encrypt" || command == "decrypt"))) {
        std::fprintf(stderr, "usage: cross_client report | encrypt|decrypt KEYFILE INFILE OUTFILE\n");
        return 2;
    }
    CoInitialize(nullptr);
    ICrypter* crypter = nullptr;
    HRESULT result = CoCreateInstance(CLSID_Crypter, nullptr, CLSCTX_INPROC_SERVER, IID_ICrypter,
                                      reinterpret_cast<void**>(&crypter));
    char module[MAX_PATH] = "(none)";
    if (const HMODULE loaded = GetModuleHandleA("Zarnocrypt.dll"))
        GetModuleFileNameA(loaded, module, MAX_PATH);
    VARIANT version;
    VariantInit(&version);
    if (SUCCEEDED(result))
        result = command == "report" ? Version(crypter, &version) : Crypt(crypter, command == "encrypt", argv + 2);
    if (FAILED(result))
        std::printf("error %08lx\n", static_cast<unsigned long>(result));
    else
        std::printf("module=%s version=%ls\n", module, version.vt == VT_BSTR ? version.bstrVal : L"-");
    VariantClear(&version);
    if (crypter != nullptr)
        crypter->Release();
    CoUninitialize();
    return command != "report" && FAILED(result);
}
