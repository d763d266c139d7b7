// Strings under a double-byte ANSI code page (932), where Wine is started
// with a Japanese locale; and the conversion where characters take three
// bytes (UTF-8), which a buffer of two bytes per character would cut short.
#include <cstdlib>

#include "com_support.h"
#include "crypter.h"
#include "wide_text.h"

namespace zarnocrypt::test {
namespace {

std::wstring Crypt(ICrypter* crypter, HRESULT (STDMETHODCALLTYPE ICrypter::*method)(BSTR, BSTR*),
                   const std::wstring& text, HRESULT expected = S_OK)
{
    Bstr in(text), out;
    EXPECT_EQ(expected, (crypter->*method)(in.get(), out.out()));
    return out.text();
}

TEST(Dbcs, TextsRoundTripAndMarkersAreFoundInBytes)
{
    const char* expected = std::getenv("ZARNOCRYPT_EXPECT_ACP");
    if (expected == nullptr)
        GTEST_SKIP() << "runs where ZARNOCRYPT_EXPECT_ACP names the double-byte code page";
    ASSERT_EQ(UINT(std::atoi(expected)), GetACP());
    ComPtr<ICrypter> crypter;
    ASSERT_EQ(S_OK, CreateCrypter(IID_ICrypter, crypter.out()));
    ASSERT_EQ(S_OK, crypter->SetKey(Bstr(L"\u9375").get()));  // a key text of two narrow bytes
    const std::wstring plain = L"\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8 and ASCII \uff76\uff85";
    for (auto method : {&ICrypter::Encrypt, &ICrypter::HtmlEncrypt, &ICrypter::MultilineEncrypt})
        EXPECT_EQ(plain, Crypt(crypter.get(), &ICrypter::Decrypt, Crypt(crypter.get(), method, plain)));
    // U+30FC is 0x81 0x5B: its second byte is "[". Encrypt looks at characters
    // and finds no end marker; Decrypt searches bytes and finds one, before a
    // body of three bytes, too few for an envelope.
    const std::wstring lookalike = L"[ZQV]X\nAAAA\u30fc/ZQV]";
    EXPECT_EQ(lookalike, Crypt(crypter.get(), &ICrypter::Decrypt, Crypt(crypter.get(), &ICrypter::Encrypt, lookalike)));
    Crypt(crypter.get(), &ICrypter::Decrypt, lookalike, 0x80040065);
    // Characters outside the code page become its default character or a look-alike.
    const std::wstring back = Crypt(crypter.get(), &ICrypter::Decrypt,
                                    Crypt(crypter.get(), &ICrypter::Encrypt, L"\u65e5\u0100x"));
    EXPECT_TRUE(back == L"\u65e5?x" || back == L"\u65e5Ax") << back.size();
}

TEST(WideText, ThreeBytesPerCharacter)
{
    const std::wstring wide(40, L'\u65e5');
    const NarrowText narrow = NarrowFromWide(wide.c_str(), CP_UTF8);
    ASSERT_EQ(S_OK, narrow.status);
    ASSERT_EQ(120u, narrow.text.size());
    Bstr back;
    ASSERT_EQ(S_OK, WideFromNarrow(reinterpret_cast<const char*>(narrow.text.data()), 120, back.out(), CP_UTF8));
    EXPECT_EQ(wide, back.text());
}

}  // namespace
}  // namespace zarnocrypt::test
