// Allocation failure at every allocation the Crypter makes: each call ends in
// an HRESULT, leaves its out parameters as for any failure, and leaks nothing.
// The failures come from a replaced global operator new, so this suite is a
// program of its own.
#include <cstdlib>
#include <cwchar>
#include <new>

#include "crypter_test_support.h"

#include "crypter_errors.h"
#include "envelope.h"
#include "rijndael_key.h"

namespace {

long liveAllocations = 0;
long allocationsUntilFailure = -1;  // -1: never fail

void* Allocate(std::size_t size) noexcept
{
    if (allocationsUntilFailure == 0)
        return nullptr;
    if (allocationsUntilFailure > 0)
        --allocationsUntilFailure;
    void* memory = std::malloc(size == 0 ? 1 : size);
    if (memory != nullptr)
        ++liveAllocations;
    return memory;
}

// The replaced operators below pair new with this free on purpose; GCC, seeing
// both inlined, would take them for a mismatched pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void Free(void* memory) noexcept
{
    if (memory != nullptr) {
        --liveAllocations;
        std::free(memory);
    }
}

}  // namespace

void* operator new(std::size_t size)
{
    void* memory = Allocate(size);
    if (memory == nullptr)
        throw std::bad_alloc();
    return memory;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* memory) noexcept { Free(memory); }
void operator delete[](void* memory) noexcept { Free(memory); }
void operator delete(void* memory, std::size_t) noexcept { Free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { Free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { Free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { Free(memory); }

namespace zarnocrypt::test {
namespace {

// One call on a fresh keyed object; the outcome is checked after the
// allocation counter has been read, so that checks allocate nothing inside.
struct Observed {
    bool outputsAsForFailure = true;
    bool usable = true;  // after the call, with no failure injected
};

struct Scenario {
    const char* name;
    HRESULT (*run)(Observed& observed);
};

long remainingAtDisarm = -1;

// Ends the injection right after the call under test.
void Disarm()
{
    remainingAtDisarm = allocationsUntilFailure;
    allocationsUntilFailure = -1;
}

// The object still encrypts and decrypts; its key may have been emptied only
// by a SetKey that ran out of memory, and is then set again.
bool RoundTrips(ICrypter* crypter)
{
    BSTR key = SysAllocString(L"memory key");
    BSTR plain = SysAllocString(L"after the failure");
    BSTR marked = nullptr;
    BSTR opened = nullptr;
    HRESULT result = crypter->Encrypt(plain, &marked);
    if (result == E_CRYPTER_KEY_NOT_SET && SUCCEEDED(crypter->SetKey(key)))
        result = crypter->Encrypt(plain, &marked);
    const bool usable = result == S_OK && crypter->Decrypt(marked, &opened) == S_OK && opened != nullptr &&
                        std::wcscmp(opened, L"after the failure") == 0;
    SysFreeString(opened);
    SysFreeString(marked);
    SysFreeString(plain);
    SysFreeString(key);
    return usable;
}

// The input of a Decrypt of marked text, made with no failure injected.
BSTR MarkedText(const wchar_t* plain)
{
    const long saved = allocationsUntilFailure;
    allocationsUntilFailure = -1;
    ICrypter* crypter = nullptr;
    BSTR marked = nullptr;
    if (SUCCEEDED(CreateCrypter(IID_ICrypter, reinterpret_cast<void**>(&crypter)))) {
        BSTR key = SysAllocString(L"memory key");
        BSTR text = SysAllocString(plain);
        crypter->SetKey(key);
        crypter->Encrypt(text, &marked);
        SysFreeString(text);
        SysFreeString(key);
        crypter->Release();
    }
    allocationsUntilFailure = saved;
    return marked;
}

HRESULT RunStringMethod(HRESULT (STDMETHODCALLTYPE ICrypter::*method)(BSTR, BSTR*), BSTR text,
                        Observed& observed)
{
    ICrypter* crypter = nullptr;
    HRESULT result = CreateCrypter(IID_ICrypter, reinterpret_cast<void**>(&crypter));
    BSTR key = SysAllocString(L"memory key");
    BSTR out = nullptr;
    if (SUCCEEDED(result))
        result = crypter->SetKey(key);
    if (SUCCEEDED(result)) {
        result = (crypter->*method)(text, &out);
        Disarm();
        observed.outputsAsForFailure = out == nullptr;
        observed.usable = RoundTrips(crypter);
    }
    SysFreeString(out);
    SysFreeString(key);
    if (crypter != nullptr)
        crypter->Release();
    return result;
}

// 40 zero bytes sealed under the memory key with blockWords words per block.
void MakeForeignEnvelope(VARIANT* variant, std::int32_t blockWords)
{
    RijndaelKey key;
    key.SetKeyText("memory key");
    key.BuildSchedule(blockWords);
    EnvelopeCodec codec;
    codec.BindKey(key);
    const std::uint8_t zeros[40] = {};
    const Buffer sealed = codec.EncryptEnvelope(zeros, sizeof zeros);
    MakeByteArray(variant, std::vector<std::uint8_t>(sealed.begin(), sealed.end()));
}

HRESULT RunByteMethod(HRESULT (STDMETHODCALLTYPE ICrypter::*method)(VARIANT, VARIANT*), Observed& observed,
                      std::int32_t foreignBlockWords = 0)
{
    ICrypter* crypter = nullptr;
    HRESULT result = CreateCrypter(IID_ICrypter, reinterpret_cast<void**>(&crypter));
    BSTR key = SysAllocString(L"memory key");
    if (SUCCEEDED(result))
        result = crypter->SetKey(key);
    VARIANT in;
    VariantInit(&in);
    in.vt = VT_ARRAY | VT_I1;
    SAFEARRAYBOUND bound{40, 0};
    in.parray = SafeArrayCreate(VT_I1, 1, &bound);
    VARIANT out;
    out.vt = VT_I4;
    out.lVal = 7;
    if (SUCCEEDED(result) && foreignBlockWords != 0) {
        // An envelope of another block length: the object must re-schedule its key.
        const long saved = allocationsUntilFailure;
        allocationsUntilFailure = -1;
        VariantClear(&in);
        MakeForeignEnvelope(&in, foreignBlockWords);
        allocationsUntilFailure = saved;
    } else if (SUCCEEDED(result) && method == &ICrypter::DecryptEx) {
        // The envelope to decrypt is made with no failure injected.
        const long saved = allocationsUntilFailure;
        allocationsUntilFailure = -1;
        VARIANT sealed;
        result = crypter->EncryptEx(in, &sealed);
        allocationsUntilFailure = saved;
        if (SUCCEEDED(result)) {
            VariantClear(&in);
            in = sealed;
        }
    }
    if (SUCCEEDED(result)) {
        result = (crypter->*method)(in, &out);
        Disarm();
        observed.outputsAsForFailure = out.vt == VT_I4 && out.lVal == 7;
        observed.usable = RoundTrips(crypter);
    }
    VariantClear(&out);
    VariantClear(&in);
    SysFreeString(key);
    if (crypter != nullptr)
        crypter->Release();
    return result;
}

HRESULT RunStringMethod(HRESULT (STDMETHODCALLTYPE ICrypter::*method)(BSTR, BSTR*), const wchar_t* input,
                        Observed& observed)
{
    BSTR text = SysAllocString(input);
    const HRESULT result = RunStringMethod(method, text, observed);
    SysFreeString(text);
    return result;
}

HRESULT RunSetKey(Observed& observed)
{
    ICrypter* crypter = nullptr;
    HRESULT result = CreateCrypter(IID_ICrypter, reinterpret_cast<void**>(&crypter));
    BSTR key = SysAllocString(L"a replaced key of thirty-two bytes");
    if (SUCCEEDED(result)) {
        result = crypter->SetKey(key);
        Disarm();
        observed.usable = RoundTrips(crypter);
    }
    SysFreeString(key);
    if (crypter != nullptr)
        crypter->Release();
    return result;
}

const Scenario SCENARIOS[] = {
    {"Encrypt",
     [](Observed& seen) { return RunStringMethod(&ICrypter::Encrypt, L"some plain text", seen); }},
    {"HtmlEncrypt",
     [](Observed& seen) { return RunStringMethod(&ICrypter::HtmlEncrypt, L"some plain text", seen); }},
    {"MultilineEncrypt",
     [](Observed& seen) { return RunStringMethod(&ICrypter::MultilineEncrypt, L"some plain text", seen); }},
    {"DecryptPlain",
     [](Observed& seen) { return RunStringMethod(&ICrypter::Decrypt, L"not marked", seen); }},
    {"DecryptMarked",
     [](Observed& seen) {
         BSTR marked = MarkedText(L"some plain text");
         const HRESULT result = RunStringMethod(&ICrypter::Decrypt, marked, seen);
         SysFreeString(marked);
         return result;
     }},
    {"EncryptEx", [](Observed& seen) { return RunByteMethod(&ICrypter::EncryptEx, seen); }},
    {"DecryptEx", [](Observed& seen) { return RunByteMethod(&ICrypter::DecryptEx, seen); }},
    {"DecryptExOfAnotherBlockLength", [](Observed& seen) { return RunByteMethod(&ICrypter::DecryptEx, seen, 8); }},
    {"SetKey", RunSetKey},
};

class AllocationFailure : public testing::TestWithParam<Scenario> {};

INSTANTIATE_TEST_SUITE_P(Crypter, AllocationFailure, testing::ValuesIn(SCENARIOS),
                         [](const auto& tested) { return std::string(tested.param.name); });

TEST_P(AllocationFailure, EveryAllocationFailsCleanly)
{
    bool completed = false;
    for (long failAt = 0; failAt < 200 && !completed; ++failAt) {
        const long before = liveAllocations;
        allocationsUntilFailure = failAt;
        remainingAtDisarm = -1;
        Observed observed;
        const HRESULT result = GetParam().run(observed);
        if (allocationsUntilFailure != -1)
            Disarm();  // the run failed before reaching its call
        completed = remainingAtDisarm > 0;  // the run needed fewer allocations than failAt
        const long leaked = liveAllocations - before;

        EXPECT_EQ(0, leaked) << "failing allocation " << failAt;
        if (completed) {
            EXPECT_EQ(S_OK, result);
        }
        if (FAILED(result)) {
            EXPECT_EQ(E_OUTOFMEMORY, result) << "at allocation " << failAt;
            EXPECT_TRUE(observed.outputsAsForFailure) << failAt;
        }
        EXPECT_TRUE(observed.usable) << "object unusable after failing allocation " << failAt;
    }
    EXPECT_TRUE(completed) << "more than 200 allocations in one call";
}

}  // namespace
}  // namespace zarnocrypt::test
