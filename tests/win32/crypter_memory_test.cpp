// Allocation failure at every heap allocation that creating an object,
// SetKey and one call make: each ends in S_OK or E_OUTOFMEMORY with the
// result as for any failure, no stale error info, nothing leaked, and the
// object still usable afterwards.
#include "com_support.h"
#include "crypter.h"
#include "live_allocations.h"

namespace zarnocrypt::test {
namespace {

constexpr wchar_t KEY[] = L"correct horse battery";  // the key text of MARKED, "abc"
constexpr wchar_t MARKED[] = L"[ZQV]X\nAAAABAYEAHCW7YRt57MCe3LG9J2XsymjR8dMOtcRRtI==[/ZQV]";

enum class Call { Encrypt, HtmlEncrypt, MultilineEncrypt, DecryptPlain, DecryptMarked, EncryptEx, DecryptEx, SetKey };

// The inputs, made before any failure is armed.
struct Inputs {
    Bstr key{KEY}, plain{L"some plain text"}, marked{MARKED}, replacement{L"a replaced key"};
    Variant bytes;
    Inputs() { MakeByteArray(&bytes, Bytes(40, 7)); }
};

// Makes the call; true when its result is as for a failure (null, or the array untouched).
bool Make(ICrypter* crypter, Call call, const Inputs& in, HRESULT& result)
{
    const auto& [key, plain, marked, replacement, bytes] = in;
    Bstr out;
    Variant array;
    array.vt = VT_I4;
    switch (call) {
    case Call::Encrypt: result = crypter->Encrypt(plain.get(), out.out()); break;
    case Call::HtmlEncrypt: result = crypter->HtmlEncrypt(plain.get(), out.out()); break;
    case Call::MultilineEncrypt: result = crypter->MultilineEncrypt(plain.get(), out.out()); break;
    case Call::DecryptPlain: result = crypter->Decrypt(plain.get(), out.out()); break;
    case Call::DecryptMarked: result = crypter->Decrypt(marked.get(), out.out()); break;
    case Call::EncryptEx: result = crypter->EncryptEx(bytes, &array); break;
    case Call::DecryptEx:
        result = crypter->EncryptEx(bytes, &array);
        if (result == S_OK) {
            Variant envelope;
            static_cast<VARIANT&>(envelope) = array;
            array.vt = VT_I4;
            result = crypter->DecryptEx(envelope, &array);
        }
        break;
    case Call::SetKey: result = crypter->SetKey(replacement.get()); return true;
    }
    return out.get() == nullptr && array.vt == VT_I4;
}

// Encrypts and decrypts again; a SetKey that ran out of memory may have left no key.
bool RoundTrips(ICrypter* crypter)
{
    Bstr plain(L"after the failure"), marked, opened;
    HRESULT result = crypter->Encrypt(plain.get(), marked.out());
    if (result == HRESULT(0x80040197) && crypter->SetKey(Bstr(KEY).get()) == S_OK)
        result = crypter->Encrypt(plain.get(), marked.out());
    TakeErrorRecord();
    return result == S_OK && crypter->Decrypt(marked.get(), opened.out()) == S_OK && opened.text() == plain.text();
}

TEST(AllocationFailure, EveryAllocationFailsCleanly)
{
    for (int call = 0; call <= int(Call::SetKey); ++call) {
        bool completed = false;
        for (long failAt = 0; failAt < 200 && !completed; ++failAt) {
            SCOPED_TRACE("call " + std::to_string(call) + ", failing allocation " + std::to_string(failAt));
            const auto before = LiveCounts();
            {
                SetErrorInfo(0, nullptr);
                const Inputs in;
                ComPtr<ICrypter> crypter;
                bool asFailure = true;
                FailAllocationsFrom(failAt);
                HRESULT result = CreateCrypter(IID_ICrypter, crypter.out());
                if (result == S_OK)
                    result = crypter->SetKey(in.key.get());
                if (result == S_OK)
                    asFailure = Make(crypter.get(), Call(call), in, result);
                completed = FailAllocationsFrom(-1) > 0;  // the run needed fewer allocations
                // At the last allocation's number nothing may fail: success is then right too.
                EXPECT_TRUE(result == S_OK || (!completed && result == E_OUTOFMEMORY && asFailure)) << result;
                EXPECT_EQ(L"", TakeErrorRecord());
                EXPECT_TRUE(crypter.get() == nullptr || RoundTrips(crypter.get()));
            }
            EXPECT_EQ(before, LiveCounts()) << "{strings and safe arrays, heap blocks} left alive";
        }
        EXPECT_TRUE(completed) << "more than 200 allocations in one call";
    }
}

}  // namespace
}  // namespace zarnocrypt::test
