// Allocation failure at every heap allocation that creating an object,
// SetKey and one call make: each ends in an HRESULT, with E_OUTOFMEMORY
// the only new failure, the result as for any failure, no stale error info,
// nothing leaked, and the object still usable afterwards.
#include "com_support.h"
#include "crypter.h"
#include "live_allocations.h"

namespace zarnocrypt::test {
namespace {

constexpr wchar_t KEY[] = L"correct horse battery";  // the key text of MARKED
constexpr wchar_t MARKED[] = L"[ZQV]X\nAAAABAYEAHCW7YRt57MCe3LG9J2XsymjR8dMOtcRRtI==[/ZQV]";  // "abc"

enum class Call { Encrypt, HtmlEncrypt, MultilineEncrypt, DecryptPlain, DecryptMarked, EncryptEx, DecryptEx, SetKey };

// The inputs, made before any failure is armed.
struct Inputs {
    Bstr key{KEY}, plain{L"some plain text"}, marked{MARKED}, replacement{L"a replaced key"};
    Variant bytes;
    Inputs() { MakeByteArray(&bytes, Bytes(40, 7)); }
};

// Makes the call; true when its result is as for a failure (null, or the array untouched).
bool Make(ICrypter* crypter, Call call, Inputs& in, HRESULT& result)
{
    Bstr out;
    VARIANT array;
    array.vt = VT_I4;
    switch (call) {
    case Call::Encrypt: result = crypter->Encrypt(in.plain.get(), out.out()); break;
    case Call::HtmlEncrypt: result = crypter->HtmlEncrypt(in.plain.get(), out.out()); break;
    case Call::MultilineEncrypt: result = crypter->MultilineEncrypt(in.plain.get(), out.out()); break;
    case Call::DecryptPlain: result = crypter->Decrypt(in.plain.get(), out.out()); break;
    case Call::DecryptMarked: result = crypter->Decrypt(in.marked.get(), out.out()); break;
    case Call::EncryptEx: result = crypter->EncryptEx(in.bytes, &array); break;
    case Call::DecryptEx:
        result = crypter->EncryptEx(in.bytes, &array);
        if (result == S_OK) {
            Variant envelope;
            static_cast<VARIANT&>(envelope) = array;
            array.vt = VT_I4;
            result = crypter->DecryptEx(envelope, &array);
        }
        break;
    case Call::SetKey: result = crypter->SetKey(in.replacement.get()); return true;
    }
    const bool asFailure = out.get() == nullptr && array.vt == VT_I4;
    VariantClear(&array);
    return asFailure;
}

// Encrypts and decrypts again; a SetKey that ran out of memory may have left no key.
bool RoundTrips(ICrypter* crypter)
{
    Bstr plain(L"after the failure"), marked, opened;
    HRESULT result = crypter->Encrypt(plain.get(), marked.out());
    if (result == HRESULT(0x80040197) && crypter->SetKey(Bstr(KEY).get()) == S_OK)
        result = crypter->Encrypt(plain.get(), marked.out());
    ErrorRecord::Take();
    return result == S_OK && crypter->Decrypt(marked.get(), opened.out()) == S_OK && opened.text() == plain.text();
}

TEST(AllocationFailure, EveryAllocationFailsCleanly)
{
    for (const Call call : {Call::Encrypt, Call::HtmlEncrypt, Call::MultilineEncrypt, Call::DecryptPlain,
                            Call::DecryptMarked, Call::EncryptEx, Call::DecryptEx, Call::SetKey}) {
        bool completed = false;
        for (long failAt = 0; failAt < 200 && !completed; ++failAt) {
            SCOPED_TRACE("call " + std::to_string(int(call)) + ", failing allocation " + std::to_string(failAt));
            const LiveCounts before = CurrentLiveCounts();
            {
                SetErrorInfo(0, nullptr);
                Inputs in;
                ComPtr<ICrypter> crypter;
                bool asFailure = true;
                FailAllocationsFrom(failAt);
                HRESULT result = CreateCrypter(IID_ICrypter, crypter.out());
                if (result == S_OK)
                    result = crypter->SetKey(in.key.get());
                if (result == S_OK)
                    asFailure = Make(crypter.get(), call, in, result);
                completed = FailAllocationsFrom(-1) > 0;  // the run needed fewer allocations
                // At the last allocation's number nothing may fail: success is then right too.
                EXPECT_TRUE(result == S_OK || (!completed && result == E_OUTOFMEMORY && asFailure)) << result;
                EXPECT_FALSE(ErrorRecord::Take().present);
                EXPECT_TRUE(crypter.get() == nullptr || RoundTrips(crypter.get()));
            }
            ExpectNothingLeft(before, "");
        }
        EXPECT_TRUE(completed) << "more than 200 allocations in one call";
    }
}

}  // namespace
}  // namespace zarnocrypt::test
