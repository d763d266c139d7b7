// Encrypt, HtmlEncrypt, MultilineEncrypt, Decrypt and SetKey through ICrypter,
// with the failure codes and error info they publish.
#include "crypter_test_support.h"

#include "crypter_errors.h"

namespace zarnocrypt::test {
namespace {

using StringMethod = HRESULT (STDMETHODCALLTYPE ICrypter::*)(BSTR, BSTR*);

struct EncryptingMethod {
    const char* name;
    StringMethod method;
    std::size_t lengthOfAbc;  // marked text of "abc": a 32-byte envelope, 45 Base64 characters
    const wchar_t* afterTypeLetter;
    const wchar_t* beforeEndMarker;
};

const EncryptingMethod ENCRYPTING_METHODS[] = {
    {"Encrypt", &ICrypter::Encrypt, 58, L"\n", L"="},
    {"HtmlEncrypt", &ICrypter::HtmlEncrypt, 65, L"\n<!--", L"=-->"},
    {"MultilineEncrypt", &ICrypter::MultilineEncrypt, 60, L"\n\n", L"=\n"},
};

class EncryptingMethods : public testing::TestWithParam<EncryptingMethod> {};

INSTANTIATE_TEST_SUITE_P(Crypter, EncryptingMethods, testing::ValuesIn(ENCRYPTING_METHODS),
                         [](const auto& tested) { return std::string(tested.param.name); });

bool StartsWith(const std::wstring& text, const std::wstring& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::wstring& text, const std::wstring& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

TEST_P(EncryptingMethods, FormOfAbcAndRoundTrip)
{
    const EncryptingMethod& m = GetParam();
    ComPtr<ICrypter> sender;
    MakeCrypter(sender, L"shared secret");
    ComPtr<ICrypter> receiver;
    MakeCrypter(receiver, L"shared secret");

    Bstr plain(L"abc");
    Bstr marked;
    ASSERT_EQ(S_OK, (sender.get()->*m.method)(plain.get(), marked.out()));
    const std::wstring text = marked.text();
    EXPECT_EQ(m.lengthOfAbc, text.size());
    EXPECT_TRUE(StartsWith(text, std::wstring(L"[ZQV]X") + m.afterTypeLetter)) << text.c_str();
    EXPECT_TRUE(EndsWith(text, std::wstring(m.beforeEndMarker) + L"[/ZQV]")) << text.c_str();

    Bstr decrypted;
    ASSERT_EQ(S_OK, receiver->Decrypt(marked.get(), decrypted.out()));
    EXPECT_EQ(L"abc", decrypted.text());
}

// Marked text of any form comes back from every encrypting method as it was.
TEST_P(EncryptingMethods, MarkedTextIsNotEncryptedAgain)
{
    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter, L"key");
    for (const EncryptingMethod& producer : ENCRYPTING_METHODS) {
        Bstr plain(L"some text");
        Bstr marked;
        ASSERT_EQ(S_OK, (crypter.get()->*producer.method)(plain.get(), marked.out()));
        Bstr again;
        ASSERT_EQ(S_OK, (crypter.get()->*GetParam().method)(marked.get(), again.out()));
        EXPECT_EQ(marked.text(), again.text());
        EXPECT_NE(marked.get(), again.get());  // a new string
    }
}

TEST_P(EncryptingMethods, WithoutKeyFailsEvenForNullInput)
{
    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter);
    Bstr plain(L"abc");
    for (BSTR input : {plain.get(), static_cast<BSTR>(nullptr)}) {
        BSTR out = SysAllocString(L"stale");
        BSTR stale = out;
        EXPECT_EQ(E_CRYPTER_KEY_NOT_SET, (crypter.get()->*GetParam().method)(input, &out));
        EXPECT_EQ(nullptr, out);
        ExpectReported(L"Key has not been set.");
        SysFreeString(stale);
    }
}

TEST_P(EncryptingMethods, NullInputWithKeyGivesNullResult)
{
    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter, L"key");
    Bstr out;
    EXPECT_EQ(S_OK, (crypter.get()->*GetParam().method)(nullptr, out.out()));
    EXPECT_TRUE(out.null());
}

// An empty string is not null: its envelope holds the single NUL.
TEST_P(EncryptingMethods, EmptyStringRoundTripsToEmptyString)
{
    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter, L"key");
    Bstr empty(L"");
    Bstr marked;
    ASSERT_EQ(S_OK, (crypter.get()->*GetParam().method)(empty.get(), marked.out()));
    EXPECT_EQ(GetParam().lengthOfAbc, marked.text().size());
    Bstr decrypted;
    ASSERT_EQ(S_OK, crypter->Decrypt(marked.get(), decrypted.out()));
    EXPECT_FALSE(decrypted.null());
    EXPECT_EQ(L"", decrypted.text());
}

TEST(Crypter, NewObjectDecryptsPlainTextWithoutKey)
{
    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter);
    for (const std::wstring& text : {std::wstring(L"abc"), std::wstring(L""), std::wstring(L"[ZQV]"),
                                     std::wstring(L"[ZQV]X\nAAAA[/ZQV] ")}) {
        Bstr input(text);
        Bstr out;
        EXPECT_EQ(S_OK, crypter->Decrypt(input.get(), out.out()));
        EXPECT_FALSE(out.null());
        EXPECT_EQ(text, out.text());
    }
    Bstr out;
    EXPECT_EQ(S_OK, crypter->Decrypt(nullptr, out.out()));
    EXPECT_TRUE(out.null());
}

// A copy of the input is the caller's string up to its first zero character.
TEST(Crypter, CopiesEndAtTheFirstZeroCharacter)
{
    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter, L"key");
    Bstr plain(std::wstring(L"abc\0def", 7));
    Bstr out;
    ASSERT_EQ(S_OK, crypter->Decrypt(plain.get(), out.out()));
    EXPECT_EQ(L"abc", out.text());

    Bstr marked;
    ASSERT_EQ(S_OK, crypter->Encrypt(plain.get(), marked.out()));
    Bstr decrypted;
    ASSERT_EQ(S_OK, crypter->Decrypt(marked.get(), decrypted.out()));
    EXPECT_EQ(L"abc", decrypted.text());
}

struct DecryptFailure {
    const char* name;
    const wchar_t* key;  // null: no key
    std::wstring text;
    HRESULT code;
    const wchar_t* message;
};

class DecryptFailures : public testing::TestWithParam<DecryptFailure> {};

INSTANTIATE_TEST_SUITE_P(
    Crypter, DecryptFailures,
    testing::Values(
        DecryptFailure{"WrongTypeLetter", L"key", L"[ZQV]x\nAAAAAAAAAAAA=[/ZQV]", E_CRYPTER_CODE_DAMAGED,
                       L"Encryption code damaged or type wrong"},
        DecryptFailure{"EmptyBody", L"key", L"[ZQV]X[/ZQV]", E_CRYPTER_CODE_DAMAGED,
                       L"Encryption code damaged or type wrong"},
        // Damage is found before the missing key.
        DecryptFailure{"DamagedWithoutKey", nullptr, L"[ZQV]Y\nAAAAAAAAAAAA=[/ZQV]",
                       E_CRYPTER_CODE_DAMAGED, L"Encryption code damaged or type wrong"},
        DecryptFailure{"NoKey", nullptr, L"[ZQV]X\nAAAAAAAAAAAA=[/ZQV]", E_CRYPTER_KEY_NOT_SET,
                       L"Key not set."},
        // Eight bytes are a header without blocks.
        DecryptFailure{"HeaderOnly", L"key", L"[ZQV]X\nAAAAAAYEAAA==[/ZQV]", E_CRYPTER_DECRYPT_FAILED,
                       L"Cannot decrypt data."}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST_P(DecryptFailures, CodeMessageAndNullResult)
{
    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter, GetParam().key);
    Bstr input(GetParam().text);
    BSTR out = SysAllocString(L"stale");
    BSTR stale = out;
    EXPECT_EQ(GetParam().code, crypter->Decrypt(input.get(), &out));
    EXPECT_EQ(nullptr, out);
    ExpectReported(GetParam().message);
    SysFreeString(stale);
}

TEST(Crypter, DifferentKeysCannotDecryptEachOther)
{
    ComPtr<ICrypter> sender;
    MakeCrypter(sender, L"first key");
    ComPtr<ICrypter> receiver;
    MakeCrypter(receiver, L"second key");
    Bstr plain(L"for the first key only");
    Bstr marked;
    ASSERT_EQ(S_OK, sender->Encrypt(plain.get(), marked.out()));
    Bstr out;
    EXPECT_EQ(E_CRYPTER_DECRYPT_FAILED, receiver->Decrypt(marked.get(), out.out()));
    EXPECT_TRUE(out.null());
    ExpectReported(L"Cannot decrypt data.");

    // The failure left the receiver's key as it was.
    Bstr own;
    ASSERT_EQ(S_OK, receiver->Encrypt(plain.get(), own.out()));
    Bstr back;
    ASSERT_EQ(S_OK, receiver->Decrypt(own.get(), back.out()));
    EXPECT_EQ(plain.text(), back.text());
}

TEST(Crypter, EmptyOrNullKeyRemovesTheKey)
{
    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter, L"good key");
    Bstr plain(L"abc");
    Bstr marked;
    ASSERT_EQ(S_OK, crypter->Encrypt(plain.get(), marked.out()));

    Bstr empty(L"");
    for (BSTR key : {empty.get(), static_cast<BSTR>(nullptr)}) {
        EXPECT_EQ(S_OK, crypter->SetKey(key));
        Bstr out;
        EXPECT_EQ(E_CRYPTER_KEY_NOT_SET, crypter->Encrypt(plain.get(), out.out()));
        ExpectReported(L"Key has not been set.");
        EXPECT_EQ(E_CRYPTER_KEY_NOT_SET, crypter->Decrypt(marked.get(), out.out()));
        ExpectReported(L"Key not set.");
        ASSERT_EQ(S_OK, crypter->SetKey(Bstr(L"good key").get()));
    }
}

// Key texts of every key length, and a replaced key, decrypt only with their own text.
TEST(Crypter, KeyTextsOfEveryLength)
{
    const std::wstring keys[] = {L"k", std::wstring(23, L'a'), std::wstring(24, L'b'),
                                 std::wstring(31, L'c'), std::wstring(32, L'd'), std::wstring(50, L'e')};
    for (const std::wstring& key : keys) {
        ComPtr<ICrypter> sender;
        MakeCrypter(sender, L"replaced");
        ASSERT_EQ(S_OK, sender->SetKey(Bstr(key).get()));
        ComPtr<ICrypter> receiver;
        MakeCrypter(receiver, key.c_str());
        Bstr plain(L"The quick brown fox jumps over the lazy dog, twice over: 0123456789");
        Bstr marked;
        ASSERT_EQ(S_OK, sender->MultilineEncrypt(plain.get(), marked.out()));
        Bstr back;
        ASSERT_EQ(S_OK, receiver->Decrypt(marked.get(), back.out()));
        EXPECT_EQ(plain.text(), back.text()) << key.size();
    }
}

// Characters outside the ANSI code page come back as its default character.
TEST(Crypter, UnrepresentableCharactersBecomeTheDefaultCharacter)
{
    CPINFO info{};
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    ASSERT_EQ(1252u, GetACP());  // the suite runs with LC_ALL=en_US.UTF-8
    const wchar_t fallback = static_cast<wchar_t>(info.DefaultChar[0]);

    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter, L"key");
    Bstr plain(L"a\u65e5b\u00e9c");  // a CJK ideograph (not in 1252), then e-acute (in it)
    Bstr marked;
    ASSERT_EQ(S_OK, crypter->Encrypt(plain.get(), marked.out()));
    Bstr back;
    ASSERT_EQ(S_OK, crypter->Decrypt(marked.get(), back.out()));
    EXPECT_EQ(std::wstring(L"a") + fallback + L"b\u00e9c", back.text());
}

}  // namespace
}  // namespace zarnocrypt::test
