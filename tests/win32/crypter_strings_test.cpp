// Encrypt, HtmlEncrypt, MultilineEncrypt, Decrypt and SetKey through ICrypter,
// with the failure codes and error info they publish. Null strings, zero
// characters and null result pointers are in the boundary suite.
#include "crypter_test_support.h"

#include "crypter_errors.h"

namespace zarnocrypt::test {
namespace {

struct EncryptingMethod {
    const char* name;
    StringMethod method;
    std::size_t lengthOfAbc;  // a 32-byte envelope: 45 Base64 characters
    const wchar_t* head;
    const wchar_t* tail;
};

const EncryptingMethod ENCRYPTING_METHODS[] = {
    {"Encrypt", &ICrypter::Encrypt, 58, L"[ZQV]X\n", L"=[/ZQV]"},
    {"HtmlEncrypt", &ICrypter::HtmlEncrypt, 65, L"[ZQV]X\n<!--", L"=-->[/ZQV]"},
    {"MultilineEncrypt", &ICrypter::MultilineEncrypt, 60, L"[ZQV]X\n\n", L"=\n[/ZQV]"},
};

class EncryptingMethods : public testing::TestWithParam<EncryptingMethod> {};

INSTANTIATE_TEST_SUITE_P(Crypter, EncryptingMethods, testing::ValuesIn(ENCRYPTING_METHODS),
                         [](const auto& tested) { return std::string(tested.param.name); });

// "abc" and the empty string (whose envelope holds the single NUL) open with
// another object of the key; marked text of any form comes back as it was.
TEST_P(EncryptingMethods, FormRoundTripAndMarkedTextUnchanged)
{
    const EncryptingMethod& m = GetParam();
    ComPtr<ICrypter> sender = KeyedCrypter(L"shared secret"), receiver = KeyedCrypter(L"shared secret");
    for (const wchar_t* plain : {L"abc", L""}) {
        const std::wstring text = CallText(sender.get(), m.method, plain);
        EXPECT_EQ(m.lengthOfAbc, text.size());
        EXPECT_TRUE(text.starts_with(m.head)) << text.c_str();
        EXPECT_TRUE(text.ends_with(m.tail)) << text.c_str();
        EXPECT_EQ(plain, CallText(receiver.get(), &ICrypter::Decrypt, text));
    }
    for (const EncryptingMethod& producer : ENCRYPTING_METHODS) {
        const std::wstring marked = CallText(sender.get(), producer.method, L"some text");
        EXPECT_EQ(marked, CallText(sender.get(), m.method, marked));
    }
}

TEST(Crypter, NewObjectPassesPlainTextThroughWithoutKey)
{
    ComPtr<ICrypter> crypter = KeyedCrypter();
    for (const wchar_t* text : {L"abc", L"", L"[ZQV]", L"[ZQV]X\nAAAA[/ZQV] "})
        EXPECT_EQ(text, CallText(crypter.get(), &ICrypter::Decrypt, text));
}

struct Failure {
    const char* name;
    const wchar_t* key;  // null: no key
    StringMethod method;
    std::wstring text;
    HRESULT code;
    const wchar_t* message;
};

class Failures : public testing::TestWithParam<Failure> {};

// The result is set to null, whatever it held.
TEST_P(Failures, CodeMessageAndNullResult)
{
    ComPtr<ICrypter> crypter = KeyedCrypter(GetParam().key);
    Bstr input(GetParam().text);
    BSTR out = SysAllocString(L"stale");
    const BSTR stale = out;
    EXPECT_EQ(GetParam().code, (crypter.get()->*GetParam().method)(input.get(), &out));
    EXPECT_EQ(nullptr, out);
    ExpectReported(GetParam().message);
    SysFreeString(stale);
}

INSTANTIATE_TEST_SUITE_P(
    Crypter, Failures,
    testing::Values(
        Failure{"EncryptWithoutKey", nullptr, &ICrypter::Encrypt, L"abc", E_CRYPTER_KEY_NOT_SET, L"Key has not been set."},
        Failure{"HtmlEncryptWithoutKey", nullptr, &ICrypter::HtmlEncrypt, L"abc", E_CRYPTER_KEY_NOT_SET,
                L"Key has not been set."},
        Failure{"MultilineEncryptWithoutKey", nullptr, &ICrypter::MultilineEncrypt, L"abc", E_CRYPTER_KEY_NOT_SET,
                L"Key has not been set."},
        Failure{"WrongTypeLetter", L"key", &ICrypter::Decrypt, L"[ZQV]x\nAAAAAAAAAAAA=[/ZQV]", E_CRYPTER_CODE_DAMAGED,
                L"Encryption code damaged or type wrong"},
        Failure{"EmptyBody", L"key", &ICrypter::Decrypt, L"[ZQV]X[/ZQV]", E_CRYPTER_CODE_DAMAGED,
                L"Encryption code damaged or type wrong"},
        // Damage is found before the missing key.
        Failure{"DamagedWithoutKey", nullptr, &ICrypter::Decrypt, L"[ZQV]Y\nAAAAAAAAAAAA=[/ZQV]",
                E_CRYPTER_CODE_DAMAGED, L"Encryption code damaged or type wrong"},
        Failure{"NoKey", nullptr, &ICrypter::Decrypt, L"[ZQV]X\nAAAAAAAAAAAA=[/ZQV]", E_CRYPTER_KEY_NOT_SET,
                L"Key not set."},
        // Eight bytes are a header without blocks.
        Failure{"HeaderOnly", L"key", &ICrypter::Decrypt, L"[ZQV]X\nAAAAAAYEAAA==[/ZQV]", E_CRYPTER_DECRYPT_FAILED,
                L"Cannot decrypt data."}),
    [](const auto& tested) { return std::string(tested.param.name); });

// Texts and envelopes of one key do not open under another, and the failure
// leaves the receiver's key as it was.
TEST(Crypter, ObjectsWithDifferentKeysCannotReadEachOther)
{
    ComPtr<ICrypter> sender = KeyedCrypter(L"first key"), receiver = KeyedCrypter(L"second key");
    Bstr marked(CallText(sender.get(), &ICrypter::Encrypt, L"for the first key only")), out;
    EXPECT_EQ(E_CRYPTER_DECRYPT_FAILED, receiver->Decrypt(marked.get(), out.out()));
    EXPECT_TRUE(out.null());
    ExpectReported(L"Cannot decrypt data.");

    Variant envelope, opened;
    MakeByteArray(envelope.get(), CallBytes(sender.get(), &ICrypter::EncryptEx, {1, 2, 3}));
    EXPECT_EQ(E_CRYPTER_DECRYPT_FAILED, receiver->DecryptEx(*envelope, opened.get()));
    ExpectReported(L"Cannot decrypt data.");

    const std::wstring own = CallText(receiver.get(), &ICrypter::Encrypt, L"own");
    EXPECT_EQ(L"own", CallText(receiver.get(), &ICrypter::Decrypt, own));
}

// Key texts of every key length, set over a replaced key, open only under their own text.
TEST(Crypter, KeyTextsOfEveryLength)
{
    const std::wstring plain = L"The quick brown fox jumps over the lazy dog, twice over: 0123456789";
    for (const std::size_t length : {1u, 23u, 24u, 31u, 32u, 50u}) {
        const std::wstring key(length, static_cast<wchar_t>(L'a' + length % 26));
        ComPtr<ICrypter> sender = KeyedCrypter(L"replaced"), receiver = KeyedCrypter(key.c_str());
        ASSERT_EQ(S_OK, sender->SetKey(Bstr(key).get()));
        const std::wstring marked = CallText(sender.get(), &ICrypter::MultilineEncrypt, plain);
        EXPECT_EQ(plain, CallText(receiver.get(), &ICrypter::Decrypt, marked)) << length;
    }
}

TEST(Crypter, UnrepresentableCharactersBecomeTheDefaultCharacter)
{
    CPINFO info{};
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    ASSERT_EQ(1252u, GetACP());  // the suite runs with LC_ALL=en_US.UTF-8
    ComPtr<ICrypter> crypter = KeyedCrypter(L"key");
    // A CJK ideograph (not in 1252), then e-acute (in it).
    const std::wstring marked = CallText(crypter.get(), &ICrypter::Encrypt, L"a\u65e5b\u00e9c");
    EXPECT_EQ(std::wstring(L"a") + static_cast<wchar_t>(info.DefaultChar[0]) + L"b\u00e9c",
              CallText(crypter.get(), &ICrypter::Decrypt, marked));
}

}  // namespace
}  // namespace zarnocrypt::test
