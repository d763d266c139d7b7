// Strings under a double-byte ANSI code page (932), where Wine is started
// with a Japanese locale; and the conversion where characters take three
// bytes (UTF-8), which a buffer of two bytes per character would cut short.
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

TEST(Dbcs, TextsRoundTripAndMarkersAreFoundOnCharacterBoundaries)
{
    ASSERT_EQ(932u, GetACP()) << "Wine takes the ANSI code page from LC_ALL=ja_JP.UTF-8";
    ComPtr<ICrypter> crypter;
    ASSERT_EQ(S_OK, CreateCrypter(IID_ICrypter, crypter.out()));
    ASSERT_EQ(S_OK, crypter->SetKey(Bstr(L"\u9375").get()));  // a key text of two narrow bytes
    const std::wstring plain = L"\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8 and ASCII \uff76\uff85";
    const std::wstring marked = Crypt(crypter.get(), &ICrypter::MultilineEncrypt, plain);
    EXPECT_EQ(plain, Crypt(crypter.get(), &ICrypter::Decrypt, marked));
    // U+30FC is 0x81 0x5B, whose second byte is "[": Encrypt looks at characters,
    // finds no end marker and seals the text; Decrypt searches bytes and finds
    // one, before a body too short for an envelope. U+FF76 is the single byte
    // 0xB6: the end marker after it makes the text one that is sealed already.
    const std::wstring lookalike = L"[ZQV]X\nAAAA\u30fc/ZQV]", sealed = L"[ZQV]X\nAAAA\uff76[/ZQV]";
    EXPECT_NE(lookalike, Crypt(crypter.get(), &ICrypter::Encrypt, lookalike));
    Crypt(crypter.get(), &ICrypter::Decrypt, lookalike, 0x80040065);
    EXPECT_EQ(sealed, Crypt(crypter.get(), &ICrypter::Encrypt, sealed));
}

TEST(WideText, ThreeBytesPerCharacter)
{
    const std::wstring wide(40, L'\u65e5');
    const NarrowText narrow = NarrowFromWide(wide.c_str(), CP_UTF8);
    ASSERT_TRUE(narrow.status == S_OK && narrow.text.size() == 120u);
    Bstr back;
    ASSERT_EQ(S_OK, WideFromNarrow(reinterpret_cast<const char*>(narrow.text.data()), 120, back.out(), CP_UTF8));
    EXPECT_EQ(wide, back.text());
}

}  // namespace
}  // namespace zarnocrypt::test
