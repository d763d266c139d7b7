// zarnocrypt-com-bench.exe: EncryptEx of 1 MiB through the registered
// component's virtual table against the core's EncryptEnvelope on the same
// bytes and key text, in one 32-bit process under Wine. Prints the median
// time of each and "ratio encryptex-1mib-vs-core/<path> <core / COM>".
#include <windows.h>

#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "Zarnocrypt_h.h"
#include "cipher_path.h"
#include "envelope.h"
#include "key_text.h"
#include "rijndael_key.h"

namespace {

constexpr LONG BYTES = 1024 * 1024;
constexpr int CALLS = 20;
constexpr int REPETITIONS = 7;
constexpr char KEY_TEXT[] = "benchmark key text, 24 b";
constexpr wchar_t WIDE_KEY_TEXT[] = L"benchmark key text, 24 b";

double Seconds()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Median over REPETITIONS of the mean time of CALLS calls, in milliseconds.
template <typename Call>
double MedianMilliseconds(Call call)
{
    std::vector<double> times;
    for (int r = 0; r < REPETITIONS; ++r) {
        const double start = Seconds();
        for (int i = 0; i < CALLS; ++i)
            call();
        times.push_back((Seconds() - start) * 1000.0 / CALLS);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main()
{
    if (FAILED(CoInitialize(nullptr)))
        return 1;
    ICrypter* crypter = nullptr;
    if (FAILED(CoCreateInstance(CLSID_Crypter, nullptr, CLSCTX_INPROC_SERVER, IID_ICrypter,
                                reinterpret_cast<void**>(&crypter)))) {
        std::printf("Zarnocrypt.Crypter is not registered\n");
        return 1;
    }
    BSTR key = SysAllocString(WIDE_KEY_TEXT);
    crypter->SetKey(key);
    SysFreeString(key);

    std::vector<std::uint8_t> data(BYTES);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 131 + (i >> 9));
    VARIANT input;
    VariantInit(&input);
    V_VT(&input) = VT_ARRAY | VT_I1;
    V_ARRAY(&input) = SafeArrayCreateVector(VT_I1, 0, BYTES);
    void* elements = nullptr;
    SafeArrayAccessData(V_ARRAY(&input), &elements);
    std::copy(data.begin(), data.end(), static_cast<std::uint8_t*>(elements));
    SafeArrayUnaccessData(V_ARRAY(&input));

    bool failed = false;
    const double com = MedianMilliseconds([&] {
        VARIANT output;
        VariantInit(&output);
        failed = failed || crypter->EncryptEx(input, &output) != S_OK;
        VariantClear(&output);
    });

    zarnocrypt::RijndaelKey coreKey;
    zarnocrypt::LoadKeyText(coreKey, KEY_TEXT, std::strlen(KEY_TEXT));
    const double core = MedianMilliseconds([&] {
        zarnocrypt::Buffer envelope;
        failed = failed || zarnocrypt::EncryptEnvelope(coreKey, data.data(), BYTES, envelope) != zarnocrypt::Status::Ok;
    });

    // The bulk cipher on every path in 32-bit code, in place on the same bytes.
    for (const zarnocrypt::CipherImplementation& each : zarnocrypt::AvailableImplementations()) {
        for (const bool decrypt : {false, true}) {
            const double ms = MedianMilliseconds(
                [&] { (decrypt ? each.decrypt : each.encrypt)(coreKey, data.data(), data.data(), BYTES / 24); });
            std::printf("32-bit %s 1 MiB, %s: %.0f MB/s\n", decrypt ? "DecryptBlocks" : "EncryptBlocks",
                        each.name, BYTES / ms / 1000.0);
        }
    }

    const char* path = zarnocrypt::ChosenImplementation().name;
    std::printf("EncryptEx 1 MiB through the vtable: %.3f ms (median of %d x %d calls)\n", com, REPETITIONS, CALLS);
    std::printf("EncryptEnvelope 1 MiB in the core:  %.3f ms (cipher path %s)\n", core, path);
    std::printf("ratio encryptex-1mib-vs-core/%s %.2f\n", path, core / com);

    VariantClear(&input);
    crypter->Release();
    CoUninitialize();
    return failed ? 1 : 0;
}
