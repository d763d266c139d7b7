// Allocation failure at every allocation the Crypter makes: each call ends in
// an HRESULT, leaves its out parameters as for any failure, and leaks nothing.
#include "../counting_allocator.h"
#include "crypter_test_support.h"

#include "crypter_errors.h"
#include "envelope.h"
#include "rijndael_key.h"

namespace zarnocrypt::test {
namespace {

constexpr wchar_t KEY[] = L"memory key";

// The inputs of a call, made with no failure injected.
struct Inputs {
    Bstr key{KEY};
    Bstr text;
    Variant bytes;
};

struct Scenario {
    const char* name;
    void (*prepare)(Inputs& in);
    // Makes the call; says whether its out parameter is as for a failure.
    HRESULT (*call)(ICrypter* crypter, Inputs& in, bool& outputsAsForFailure);
};

template <StringMethod method>
HRESULT CallString(ICrypter* crypter, Inputs& in, bool& outputsAsForFailure)
{
    Bstr out;
    const HRESULT result = (crypter->*method)(in.text.get(), out.out());
    outputsAsForFailure = out.null();
    return result;
}

template <VariantMethod method>
HRESULT CallVariant(ICrypter* crypter, Inputs& in, bool& outputsAsForFailure)
{
    VARIANT out;
    out.vt = VT_I4;
    out.lVal = 7;
    const HRESULT result = (crypter->*method)(*in.bytes, &out);
    outputsAsForFailure = out.vt == VT_I4 && out.lVal == 7;
    VariantClear(&out);
    return result;
}

void PlainText(Inputs& in) { *in.text.out() = SysAllocString(L"some plain text"); }

void Envelope(Inputs& in, std::int32_t blockWords)
{
    RijndaelKey key;
    key.SetKeyText("memory key");
    key.BuildSchedule(blockWords);
    EnvelopeCodec codec;
    codec.BindKey(key);
    const std::uint8_t zeros[40] = {};
    const Buffer sealed = codec.EncryptEnvelope(zeros, sizeof zeros);
    MakeByteArray(in.bytes.get(), std::vector<std::uint8_t>(sealed.begin(), sealed.end()));
}

const Scenario SCENARIOS[] = {
    {"Encrypt", PlainText, CallString<&ICrypter::Encrypt>},
    {"HtmlEncrypt", PlainText, CallString<&ICrypter::HtmlEncrypt>},
    {"MultilineEncrypt", PlainText, CallString<&ICrypter::MultilineEncrypt>},
    {"DecryptPlain", PlainText, CallString<&ICrypter::Decrypt>},
    {"DecryptMarked",
     [](Inputs& in) {
         const std::wstring marked = CallText(KeyedCrypter(KEY).get(), &ICrypter::Encrypt, L"some plain text");
         *in.text.out() = SysAllocString(marked.c_str());
     },
     CallString<&ICrypter::Decrypt>},
    {"EncryptEx", [](Inputs& in) { MakeByteArray(in.bytes.get(), std::vector<std::uint8_t>(40, 0)); },
     CallVariant<&ICrypter::EncryptEx>},
    {"DecryptEx", [](Inputs& in) { Envelope(in, 6); }, CallVariant<&ICrypter::DecryptEx>},
    // An envelope of another block length: the object must re-schedule its key.
    {"DecryptExOfAnotherBlockLength", [](Inputs& in) { Envelope(in, 8); }, CallVariant<&ICrypter::DecryptEx>},
    {"SetKey", [](Inputs& in) { *in.text.out() = SysAllocString(L"a replaced key of thirty-two bytes"); },
     [](ICrypter* crypter, Inputs& in, bool&) { return crypter->SetKey(in.text.get()); }},
};

// The object still encrypts and decrypts; its key may have been emptied only
// by a SetKey that ran out of memory, and is then set again.
bool RoundTrips(ICrypter* crypter)
{
    Bstr plain(L"after the failure"), marked, opened;
    HRESULT result = crypter->Encrypt(plain.get(), marked.out());
    if (result == E_CRYPTER_KEY_NOT_SET && SUCCEEDED(crypter->SetKey(Bstr(KEY).get())))
        result = crypter->Encrypt(plain.get(), marked.out());
    return result == S_OK && crypter->Decrypt(marked.get(), opened.out()) == S_OK && !opened.null() &&
           opened.text() == plain.text();
}

class AllocationFailure : public testing::TestWithParam<Scenario> {};

INSTANTIATE_TEST_SUITE_P(Crypter, AllocationFailure, testing::ValuesIn(SCENARIOS),
                         [](const auto& tested) { return std::string(tested.param.name); });

// Object creation, SetKey and the call all run with the failure armed; the
// checks run after the allocation count has been read.
TEST_P(AllocationFailure, EveryAllocationFailsCleanly)
{
    bool completed = false;
    for (long failAt = 0; failAt < 200 && !completed; ++failAt) {
        const long before = liveAllocations;
        HRESULT result = S_OK;
        bool outputsAsForFailure = true, usable = true;
        {
            Inputs in;
            GetParam().prepare(in);
            allocationsUntilFailure = failAt;
            ComPtr<ICrypter> crypter;
            result = CreateCrypter(IID_ICrypter, crypter.out());
            if (SUCCEEDED(result))
                result = crypter->SetKey(in.key.get());
            if (SUCCEEDED(result))
                result = GetParam().call(crypter.get(), in, outputsAsForFailure);
            completed = allocationsUntilFailure > 0;  // the run needed fewer allocations than failAt
            allocationsUntilFailure = -1;
            if (crypter.get() != nullptr)
                usable = RoundTrips(crypter.get());
        }
        EXPECT_EQ(0, liveAllocations - before) << "leaked at failing allocation " << failAt;
        if (completed) {
            EXPECT_EQ(S_OK, result);
        }
        if (FAILED(result)) {
            EXPECT_EQ(E_OUTOFMEMORY, result) << "at allocation " << failAt;
            EXPECT_TRUE(outputsAsForFailure) << failAt;
        }
        EXPECT_TRUE(usable) << "object unusable after failing allocation " << failAt;
    }
    EXPECT_TRUE(completed) << "more than 200 allocations in one call";
}

}  // namespace
}  // namespace zarnocrypt::test
