// cross_client encrypt|decrypt KEYFILE INFILE OUTFILE
//
// A compiled client of whichever Zarnocrypt.dll its registry view names:
// EncryptEx or DecryptEx of a file's bytes through CoCreateInstance, the
// result written to OUTFILE. It prints the path of the module that the
// system loaded, so that the side-by-side test sees which DLL served it.
#include <windows.h>
#include <objbase.h>
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

bool WriteFile(const char* path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

bool MakeByteArray(const std::string& bytes, VARIANT* variant)
{
    SAFEARRAYBOUND bound{static_cast<ULONG>(bytes.size()), 0};
    SAFEARRAY* array = SafeArrayCreate(VT_I1, 1, &bound);
    void* elements = nullptr;
    if (array == nullptr || FAILED(SafeArrayAccessData(array, &elements)))
        return false;
    bytes.copy(static_cast<char*>(elements), bytes.size());
    SafeArrayUnaccessData(array);
    variant->vt = VT_ARRAY | VT_I1;
    variant->parray = array;
    return true;
}

bool ReadByteArray(const VARIANT& variant, std::string& bytes)
{
    void* elements = nullptr;
    if (variant.vt != (VT_ARRAY | VT_I1) || FAILED(SafeArrayAccessData(variant.parray, &elements)))
        return false;
    bytes.assign(static_cast<const char*>(elements), variant.parray->rgsabound[0].cElements);
    SafeArrayUnaccessData(variant.parray);
    return true;
}

std::string LoadedModule()
{
    char path[MAX_PATH] = {};
    const HMODULE module = GetModuleHandleA("Zarnocrypt.dll");
    if (module == nullptr || GetModuleFileNameA(module, path, MAX_PATH) == 0)
        return "(none)";
    return path;
}

int Fail(const char* what, HRESULT result)
{
    std::fprintf(stderr, "cross_client: %s failed: 0x%08lx\n", what, static_cast<unsigned long>(result));
    return 1;
}

int Run(ICrypter* crypter, bool encrypt, const char* keyFile, const char* input, const char* output)
{
    std::string key = ReadFile(keyFile);
    while (!key.empty() && (key.back() == '\n' || key.back() == '\r'))
        key.pop_back();
    const std::wstring wideKey(key.begin(), key.end());  // ASCII key texts only
    BSTR keyText = SysAllocString(wideKey.c_str());
    HRESULT result = crypter->SetKey(keyText);
    SysFreeString(keyText);
    if (FAILED(result))
        return Fail("SetKey", result);

    VARIANT in;
    VariantInit(&in);
    VARIANT out;
    VariantInit(&out);
    int status = 0;
    std::string bytes;
    if (!MakeByteArray(ReadFile(input), &in))
        status = Fail("making the byte array", E_OUTOFMEMORY);
    else if (FAILED(result = encrypt ? crypter->EncryptEx(in, &out) : crypter->DecryptEx(in, &out)))
        status = Fail(encrypt ? "EncryptEx" : "DecryptEx", result);
    else if (!ReadByteArray(out, bytes) || !WriteFile(output, bytes))
        status = Fail("writing the result", E_FAIL);
    VariantClear(&out);
    VariantClear(&in);
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool encrypt = argc == 5 && std::strcmp(argv[1], "encrypt") == 0;
    if (argc != 5 || (!encrypt && std::strcmp(argv[1], "decrypt") != 0)) {
        std::fprintf(stderr, "usage: cross_client encrypt|decrypt KEYFILE INFILE OUTFILE\n");
        return 2;
    }
    if (FAILED(CoInitialize(nullptr)))
        return Fail("CoInitialize", E_FAIL);
    ICrypter* crypter = nullptr;
    const HRESULT result = CoCreateInstance(CLSID_Crypter, nullptr, CLSCTX_INPROC_SERVER, IID_ICrypter,
                                            reinterpret_cast<void**>(&crypter));
    int status = 0;
    if (FAILED(result)) {
        status = Fail("CoCreateInstance", result);
    } else {
        std::printf("module=%s\n", LoadedModule().c_str());
        status = Run(crypter, encrypt, argv[2], argv[3], argv[4]);
        crypter->Release();
    }
    CoUninitialize();
    return status;
}
