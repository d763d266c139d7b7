// One hostile call on a fresh Crypter, and everything that must hold after
// any call: the thread's error info matches the result, nothing made during
// the call is left alive, the object still encrypts and decrypts, and its key
// is the expected one (the block-length switch is the one change allowed).
#pragma once

#include <functional>
#include <string>

#include "crypter_errors.h"
#include "crypter_test_support.h"
#include "live_allocations.h"

namespace zarnocrypt::test {

inline constexpr wchar_t BOUNDARY_KEY[] = L"boundary key";
inline constexpr wchar_t SENTINEL_DESCRIPTION[] = L"error info from before the call";

struct Expected {
    HRESULT result;
    const wchar_t* description;  // published with a failure; null: the earlier record stays
    const wchar_t* keyAfter = BOUNDARY_KEY;  // null: the object has no key afterwards
    BYTE blockWordsAfter = 6;                // byte 4 of the object's next envelope
};

inline Expected Succeeds() { return {S_OK, nullptr}; }
inline Expected FailsWith(HRESULT result, const wchar_t* description) { return {result, description}; }

// Header bytes 4, 5 and 7 (block length, key length, fingerprint) of an
// envelope of the object; all zero when it cannot make one.
inline std::wstring EnvelopeKeyBytes(ICrypter* crypter)
{
    Variant in, out;
    MakeByteArray(in.get(), {1, 2, 3});
    if (crypter->EncryptEx(*in, out.get()) != S_OK)
        return std::wstring(3, L'\0');
    const std::vector<std::uint8_t> envelope = ReadByteArray(*out);
    return {envelope[4], envelope[5], envelope[7]};
}

inline void PublishSentinelErrorInfo()
{
    ICreateErrorInfo* creator = nullptr;
    ASSERT_EQ(S_OK, CreateErrorInfo(&creator));
    creator->SetDescription(const_cast<LPOLESTR>(SENTINEL_DESCRIPTION));
    IErrorInfo* record = nullptr;
    creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&record));
    creator->Release();
    SetErrorInfo(0, record);
    record->Release();
}

// A success (or E_POINTER) neither sets nor clears the thread's error info.
inline void ExpectErrorInfo(const Expected& expected, const std::string& label)
{
    const ErrorRecord record = TakeErrorInfo();
    EXPECT_TRUE(record.present) << label;
    if (expected.description == nullptr) {
        EXPECT_EQ(SENTINEL_DESCRIPTION, record.description) << label << ": error info changed";
        return;
    }
    EXPECT_EQ(L"Zarnocrypt.Crypter", record.source) << label;
    EXPECT_EQ(expected.description, record.description) << label;
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, record.guid)) << label;
}

// The object still works, under the expected key: its texts and envelopes
// open with a fresh object of that key and the other way round.
inline void ExpectUsable(ICrypter* crypter, const Expected& expected, const std::string& label)
{
    const wchar_t* keyText = expected.keyAfter;
    BYTE blockWords = expected.blockWordsAfter;
    const std::wstring probe = L"probe text after a hostile call";
    if (keyText == nullptr) {
        Bstr out;
        EXPECT_EQ(E_CRYPTER_KEY_NOT_SET, crypter->Encrypt(Bstr(probe).get(), out.out())) << label << ": still keyed";
        TakeErrorInfo();
        keyText = BOUNDARY_KEY;
        blockWords = 6;
        ASSERT_EQ(S_OK, crypter->SetKey(Bstr(keyText).get())) << label;
    }
    ComPtr<ICrypter> reference = KeyedCrypter(keyText);
    std::wstring expectedKeyBytes = EnvelopeKeyBytes(reference.get());
    expectedKeyBytes[0] = blockWords;
    EXPECT_EQ(expectedKeyBytes, EnvelopeKeyBytes(crypter)) << label << ": key or block length changed";
    EXPECT_EQ(probe, CallText(reference.get(), &ICrypter::Decrypt, CallText(crypter, &ICrypter::Encrypt, probe)))
        << label << ": no longer encrypts";
    EXPECT_EQ(probe, CallText(crypter, &ICrypter::Decrypt, CallText(reference.get(), &ICrypter::Encrypt, probe)))
        << label << ": no longer decrypts";
}

// call gets a fresh object keyed with keyText (null: no key), checks its own
// outputs, frees them and returns the call's result.
inline void CheckBoundaryCall(const std::string& label, const wchar_t* keyText,
                              const std::function<HRESULT(ICrypter*)>& call, const Expected& expected)
{
    const LiveCounts before = CurrentLiveCounts();
    {
        ComPtr<ICrypter> crypter = KeyedCrypter(keyText);
        ASSERT_NE(nullptr, crypter.get());
        PublishSentinelErrorInfo();
        EXPECT_EQ(expected.result, call(crypter.get())) << label;
        ExpectErrorInfo(expected, label);
        ExpectUsable(crypter.get(), expected, label);
    }
    ExpectNothingLeft(before, label);
}

}  // namespace zarnocrypt::test
