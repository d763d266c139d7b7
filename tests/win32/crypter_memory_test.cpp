// Allocation failure at every allocation the Crypter makes: each call ends in
// an HRESULT, leaves its out parameters as for any failure, and leaks nothing.
// The failures come from a replaced global operator new, so this suite is a
// program of its own.
#include <cstdlib>
#include <new>

#include "crypter_test_support.h"

#include "crypter_errors.h"

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
struct Scenario {
    const char* name;
    HRESULT (*run)(bool& outputsAsForFailure);
};

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
                        bool& outputsAsForFailure)
{
    ICrypter* crypter = nullptr;
    HRESULT result = CreateCrypter(IID_ICrypter, reinterpret_cast<void**>(&crypter));
    BSTR key = SysAllocString(L"memory key");
    BSTR out = nullptr;
    if (SUCCEEDED(result))
        result = crypter->SetKey(key);
    if (SUCCEEDED(result)) {
        result = (crypter->*method)(text, &out);
        outputsAsForFailure = out == nullptr;
    }
    SysFreeString(out);
    SysFreeString(key);
    if (crypter != nullptr)
        crypter->Release();
    return result;
}

HRESULT RunByteMethod(HRESULT (STDMETHODCALLTYPE ICrypter::*method)(VARIANT, VARIANT*), bool& outputsAsForFailure)
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
    if (SUCCEEDED(result) && method == &ICrypter::DecryptEx) {
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
        outputsAsForFailure = out.vt == VT_I4 && out.lVal == 7;
    }
    VariantClear(&out);
    VariantClear(&in);
    SysFreeString(key);
    if (crypter != nullptr)
        crypter->Release();
    return result;
}

HRESULT RunStringMethod(HRESULT (STDMETHODCALLTYPE ICrypter::*method)(BSTR, BSTR*), const wchar_t* input,
                        bool& outputsAsForFailure)
{
    BSTR text = SysAllocString(input);
    const HRESULT result = RunStringMethod(method, text, outputsAsForFailure);
    SysFreeString(text);
    return result;
}

const Scenario SCENARIOS[] = {
    {"Encrypt",
     [](bool& failed) { return RunStringMethod(&ICrypter::Encrypt, L"some plain text", failed); }},
    {"MultilineEncrypt",
     [](bool& failed) { return RunStringMethod(&ICrypter::MultilineEncrypt, L"some plain text", failed); }},
    {"DecryptPlain",
     [](bool& failed) { return RunStringMethod(&ICrypter::Decrypt, L"not marked", failed); }},
    {"DecryptMarked",
     [](bool& failed) {
         BSTR marked = MarkedText(L"some plain text");
         const HRESULT result = RunStringMethod(&ICrypter::Decrypt, marked, failed);
         SysFreeString(marked);
         return result;
     }},
    {"EncryptEx", [](bool& failed) { return RunByteMethod(&ICrypter::EncryptEx, failed); }},
    {"DecryptEx", [](bool& failed) { return RunByteMethod(&ICrypter::DecryptEx, failed); }},
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
        bool outputsAsForFailure = true;
        const HRESULT result = GetParam().run(outputsAsForFailure);
        completed = allocationsUntilFailure > 0;  // the run needed fewer allocations than failAt
        allocationsUntilFailure = -1;
        const long leaked = liveAllocations - before;

        EXPECT_EQ(0, leaked) << "failing allocation " << failAt;
        if (completed) {
            EXPECT_EQ(S_OK, result);
        }
        if (FAILED(result)) {
            EXPECT_EQ(E_OUTOFMEMORY, result) << "at allocation " << failAt;
            EXPECT_TRUE(outputsAsForFailure) << failAt;
        }
    }
    EXPECT_TRUE(completed) << "more than 200 allocations in one call";
}

}  // namespace
}  // namespace zarnocrypt::test
