// crypter_encrypt_tool KEYFILE TEXTFILE MARKEDFILE ENVELOPEFILE
//
// Encrypts the text file through the Crypter object as a script host would
// see it: key and text are read as ANSI bytes and widened, then Encrypt
// writes the marked text (narrowed again, with the CLI's final line feed)
// and EncryptEx the envelope of the same bytes. A ctest compares both with
// what the native zarnocrypt makes of the same files.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "crypter.h"

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

BSTR Widen(const std::string& narrow)
{
    const int size = MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
    BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(size));
    MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), wide, size);
    return wide;
}

std::string Narrow(BSTR wide)
{
    const int length = static_cast<int>(SysStringLen(wide));
    const int size = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, length, narrow.data(), size, nullptr, nullptr);
    return narrow;
}

int Fail(const char* what, HRESULT result)
{
    std::fprintf(stderr, "crypter_encrypt_tool: %s failed: 0x%08lx\n", what, static_cast<unsigned long>(result));
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: crypter_encrypt_tool KEYFILE TEXTFILE MARKEDFILE ENVELOPEFILE\n");
        return 2;
    }
    std::string key = ReadFile(argv[1]);
    if (!key.empty() && key.back() == '\n')
        key.pop_back();
    if (!key.empty() && key.back() == '\r')
        key.pop_back();
    const std::string text = ReadFile(argv[2]);

    ICrypter* crypter = nullptr;
    HRESULT result = zarnocrypt::CreateCrypter(IID_ICrypter, reinterpret_cast<void**>(&crypter));
    if (FAILED(result))
        return Fail("CreateCrypter", result);
    BSTR keyText = Widen(key);
    BSTR plain = Widen(text);
    BSTR marked = nullptr;
    VARIANT bytes;
    VariantInit(&bytes);
    VARIANT envelope;
    VariantInit(&envelope);
    int status = 0;
    if (FAILED(result = crypter->SetKey(keyText)))
        status = Fail("SetKey", result);
    else if (FAILED(result = crypter->Encrypt(plain, &marked)))
        status = Fail("Encrypt", result);
    else if (!WriteFile(argv[3], Narrow(marked) + "\n"))
        status = Fail("writing the marked text", E_FAIL);

    SAFEARRAYBOUND bound{static_cast<ULONG>(text.size()), 0};
    bytes.vt = VT_ARRAY | VT_I1;
    bytes.parray = SafeArrayCreate(VT_I1, 1, &bound);
    void* elements = nullptr;
    if (status == 0 && bytes.parray != nullptr && SUCCEEDED(SafeArrayAccessData(bytes.parray, &elements))) {
        text.copy(static_cast<char*>(elements), text.size());
        SafeArrayUnaccessData(bytes.parray);
        if (FAILED(result = crypter->EncryptEx(bytes, &envelope)) || envelope.vt != (VT_ARRAY | VT_I1))
            status = Fail("EncryptEx", result);
        else if (SUCCEEDED(SafeArrayAccessData(envelope.parray, &elements))) {
            const std::string sealed(static_cast<const char*>(elements), envelope.parray->rgsabound[0].cElements);
            SafeArrayUnaccessData(envelope.parray);
            if (!WriteFile(argv[4], sealed))
                status = Fail("writing the envelope", E_FAIL);
        }
    }
    VariantClear(&envelope);
    VariantClear(&bytes);
    SysFreeString(marked);
    SysFreeString(plain);
    SysFreeString(keyText);
    crypter->Release();
    return status;
}
