// Every string and key method of ICrypter and ICrypter2 at its boundary, as
// one table: input shape, key state, text encoding and strictness, HRESULT,
// published message and result. After every call the runner
// checks the thread's error record (kept on success, the component's own on
// its failures, cleared by any other failure), that nothing made during the
// call is left alive, and that the object still has the key it must have.
// Each row runs again with every allocation of its call failing in turn.

#include <climits>
#include <string_view>

#include "com_support.h"
#include "cipher_path.h"
#include "crypter.h"
#include "report_error.h"

namespace zarnocrypt::test {
namespace {

using namespace std::literals;

// Frozen known-answer vectors (tests/vectors/text_forms.txt): "abc" under KEY
// in each form; its envelope is the Base64 body of the first.
constexpr wchar_t KEY[] = L"correct horse battery", OTHER_KEY[] = L"another key";
#define MARKED L"[ZQV]X\nAAAABAYEAHCW7YRt57MCe3LG9J2XsymjR8dMOtcRRtI==[/ZQV]"
constexpr wchar_t HTML[] = L"[ZQV]X\n<!--AAAABAYEAHCW7YRt57MCe3LG9J2XsymjR8dMOtcRRtI==-->[/ZQV]";
constexpr wchar_t MULTILINE[] = L"[ZQV]X\n\nAAAABAYEAHCW7YRt57MCe3LG9J2XsymjR8dMOtcRRtI==\n[/ZQV]";
#define HIGH_BYTES_BODY L"\n<!--\nAAAAFAYEAHAbogHx18DcSDO1Z8ktjaD57gbO+PdqbnI==\n-->[/ZQV]"
constexpr wchar_t HIGH_BYTES[] = L"[ZQV]X" HIGH_BYTES_BODY, HIGH_BYTES_U[] = L"[ZQV]U" HIGH_BYTES_BODY;
// The same message as type "U": "abc" reads alike in UTF-8.
constexpr wchar_t MARKED_U[] = L"[ZQV]U\nAAAABAYEAHCW7YRt57MCe3LG9J2XsymjR8dMOtcRRtI==[/ZQV]";
constexpr wchar_t UNICODE_TEXT[] = L"Za\u017c\u00f3\u0142\u0107 \u0436\u0443\u043a \u65e5\u672c \U0001F600";
// Sealed texts under KEY with fixed salt and nonce and the cheapest Argon2
// parameters: "abc", then "a", NUL, "\u00e9", then the lone byte 0xFF.
#define SEALED_ABC L"[ZQV]G\nWlFWMgEBAwEwMTIzNDU2Nzg5Ojs8PT4/oKGio6SlpqeoqaqrrK2ur3vAKrCTeNuGnDndwq4Q9"
constexpr wchar_t SEALED[] = SEALED_ABC L"CIpnNc==[/ZQV]", SEALED_TAMPERED[] = SEALED_ABC L"DIpnNc==[/ZQV]";
constexpr wchar_t SEALED_NUL[] =
    L"[ZQV]G\nWlFWMgEBAwEwMTIzNDU2Nzg5Ojs8PT4/oKGio6SlpqeoqaqrrK2ur3uiik/SPS+SsaIhUg1dhRNSGnXP=[/ZQV]";
constexpr wchar_t SEALED_FF[] =
    L"[ZQV]G\nWlFWMgEBAwEwMTIzNDU2Nzg5Ojs8PT4/oKGio6SlpqeoqaqrrK2ur+XerYXVKOg3tZw6psvUWpsl=[/ZQV]";
const Bytes PLAIN = {'a', 'b', 'c', 0};
const Bytes ENVELOPE = {0x00, 0x00, 0x00, 0x04, 0x06, 0x04, 0x00, 0x70, 0x96, 0xED, 0x84, 0x6D, 0xE7, 0xB3, 0x02, 0x7B,
                        0x72, 0xC6, 0xF4, 0x9D, 0x97, 0xB3, 0x29, 0xA3, 0x47, 0xC7, 0x4C, 0x3A, 0xD7, 0x11, 0x46, 0xD2};
constexpr wchar_t BEFORE[] = L"error info from before the call";

constexpr HRESULT DAMAGED = 0x80040065, NO_KEY = 0x80040197, NOT_DECRYPTED = 0x80040198, NOT_ENCRYPTED = 0x80040199,
                  UNMARKED = 0x8004019A, UNREPRESENTABLE = 0x8004019B, ENCODING = 0x8004019D, INVALID_UTF8 = 0x8004019E,
                  FORMAT = 0x800401A0;
constexpr wchar_t DAMAGED_MSG[] = L"Encryption code damaged or type wrong", NO_KEY_MSG[] = L"Key has not been set.",
                  NOT_DECRYPTED_MSG[] = L"Cannot decrypt data.", NOT_ENCRYPTED_MSG[] = L"Cannot encrypt data.",
                  UNMARKED_MSG[] = L"Text is not encrypted.",
                  UNREPRESENTABLE_MSG[] = L"Text has a character that the ANSI code page cannot represent.",
                  ENCODING_MSG[] = L"TextEncoding must be \"ANSI\" or \"UTF-8\".",
                  INVALID_UTF8_MSG[] = L"Decrypted text is not valid UTF-8.",
                  FORMAT_MSG[] = L"Format must be \"Legacy\" or \"Sealed\".";

enum Method {
    Encrypt, HtmlEncrypt, MultilineEncrypt, Decrypt, SetKey, Version, GetEncoding, PutEncoding, IsEncrypted,
    CipherPath, GetFormat, PutFormat, EncryptEx, DecryptEx
};
// The properties set after the key: text encoding, Strict, and Format (ANSI, "Sealed").
enum Mode { Ansi, Utf8, StrictAnsi, StrictUtf8, Sealed, StrictSealed };
enum Key { NoKey, Keyed, OtherKey, Both };
// Variants that hold bytes hold PLAIN for EncryptEx and ENVELOPE for DecryptEx.
enum In {
    Nothing, NullBstr, Text, Array, LowerBound5, LowestLowerBound, UI1UnderI1, Empty, ByRefArray, ArrayOfUI1,
    TwoDimensions, NoElementsAt5, NullArray, NoData, WideElements, UpperBoundWraps, CountBeyond31Bits, HugeCount,
    BeyondEnvelopeLimit, Short
};
// What a successful call gives; NullOut passes a null result pointer instead.
// Opens: the result decrypts to expected (type "U" in UTF-8 mode).
enum Out { Any, NullOut, IsNull, Equals, Opens, NoBytes, Gives, KeyAfter, True, False };

struct Row {
    Method method;
    In in;
    Key key;
    HRESULT result;
    const wchar_t* message;  // published with a component failure
    Out out;
    std::wstring_view text = {}, expected = {};  // the input of In::Text; Equals, Opens, KeyAfter (empty: no key)
    Mode mode = Ansi;
};

const Row ROWS[] = {
    // A null result pointer is refused before the key test, and clears stale error info.
    {Encrypt, Text, Both, E_POINTER, nullptr, NullOut, L"abc"},
    {Decrypt, Text, Both, E_POINTER, nullptr, NullOut, MARKED},
    {Version, Nothing, Both, E_POINTER, nullptr, NullOut},
    {EncryptEx, Array, Both, E_POINTER, nullptr, NullOut},
    // Without a key every other method fails first, whatever the input.
    {HtmlEncrypt, NullBstr, NoKey, NO_KEY, NO_KEY_MSG, Any},
    {DecryptEx, Empty, NoKey, NO_KEY, NO_KEY_MSG, Any},
    {Decrypt, Text, NoKey, NO_KEY, L"Key not set.", Any, MARKED},
    // Decrypt passes unmarked text back as given, up to its first zero character.
    {Decrypt, NullBstr, Both, S_OK, nullptr, IsNull},
    {Decrypt, Text, NoKey, S_OK, nullptr, Equals, L"abc\0def\0"sv, L"abc"},
    {Decrypt, Text, Keyed, S_OK, nullptr, Equals, L"[ZQV]X\nAAAA[/ZQV] ", L"[ZQV]X\nAAAA[/ZQV] "},
    // Marked texts: damage is found before the missing key.
    {Decrypt, Text, Keyed, S_OK, nullptr, Equals, MARKED L"\0[/ZQV]"sv, L"abc"},
    {Decrypt, Text, Keyed, S_OK, nullptr, Equals, HIGH_BYTES, L"\u0081@ high \u00e9\u00ff bytes\n\r\t"},
    {Decrypt, Text, OtherKey, NOT_DECRYPTED, NOT_DECRYPTED_MSG, Any, MARKED},
    {Decrypt, Text, Both, DAMAGED, DAMAGED_MSG, Any, L"[ZQV]Y\nAAAAAAAAAAAA=[/ZQV]"},
    // Encrypting: each form of the vector, a null result for a null string, marked text unchanged.
    {Encrypt, Text, Keyed, S_OK, nullptr, Equals, L"abc", MARKED},
    {HtmlEncrypt, Text, Keyed, S_OK, nullptr, Equals, L"abc", HTML},
    {MultilineEncrypt, Text, Keyed, S_OK, nullptr, Equals, L"abc", MULTILINE},
    {Encrypt, NullBstr, Keyed, S_OK, nullptr, IsNull},
    {MultilineEncrypt, Text, Keyed, S_OK, nullptr, Equals, HTML, HTML},
    {Encrypt, Text, Keyed, S_OK, nullptr, Opens, L"", L""},
    {Encrypt, Text, Keyed, S_OK, nullptr, Opens, L"abc\0def\0"sv, L"abc"},
    // Code page 1252: a character outside it becomes its default character.
    {Encrypt, Text, Keyed, S_OK, nullptr, Opens, L"a\u65e5b\u00e9c", L"a?b\u00e9c"},
    // SetKey never fails; a null text takes the key away, a zero character ends it.
    {SetKey, NullBstr, Keyed, S_OK, nullptr, KeyAfter, {}, L""},
    {SetKey, Text, NoKey, S_OK, nullptr, KeyAfter, L"key\0tail"sv, L"key"},
    {SetKey, Text, Keyed, S_OK, nullptr, KeyAfter, OTHER_KEY, OTHER_KEY},
    {Version, Nothing, NoKey, S_OK, nullptr, Equals, {}, ZARNOCRYPT_VERSION_STRING},
    // Only a one-dimensional VT_ARRAY|VT_I1 held by value carries bytes; a count
    // beyond 31 bits, or an envelope beyond INT32_MAX, is refused.
    {EncryptEx, LowerBound5, Keyed, S_OK, nullptr, Gives},
    {EncryptEx, LowestLowerBound, Keyed, S_OK, nullptr, Gives},
    {EncryptEx, UI1UnderI1, Keyed, S_OK, nullptr, Gives},
    {EncryptEx, ByRefArray, Keyed, S_OK, nullptr, NoBytes},
    {EncryptEx, ArrayOfUI1, Keyed, S_OK, nullptr, NoBytes},
    {EncryptEx, TwoDimensions, Keyed, S_OK, nullptr, NoBytes},
    {EncryptEx, NoElementsAt5, Keyed, S_OK, nullptr, NoBytes},
    {EncryptEx, NullArray, Keyed, S_OK, nullptr, NoBytes},
    {EncryptEx, NoData, Keyed, S_OK, nullptr, NoBytes},
    {EncryptEx, WideElements, Keyed, S_OK, nullptr, NoBytes},
    {EncryptEx, UpperBoundWraps, Keyed, S_OK, nullptr, NoBytes},
    {EncryptEx, HugeCount, Keyed, NOT_ENCRYPTED, NOT_ENCRYPTED_MSG, Any},
    {EncryptEx, BeyondEnvelopeLimit, Keyed, NOT_ENCRYPTED, NOT_ENCRYPTED_MSG, Any},
    {DecryptEx, Array, Keyed, S_OK, nullptr, Gives},
    {DecryptEx, Empty, Keyed, S_OK, nullptr, NoBytes},
    {DecryptEx, Short, Keyed, NOT_DECRYPTED, NOT_DECRYPTED_MSG, Any},
    {DecryptEx, Array, OtherKey, NOT_DECRYPTED, NOT_DECRYPTED_MSG, Any},
    {DecryptEx, CountBeyond31Bits, Keyed, NOT_DECRYPTED, NOT_DECRYPTED_MSG, Any},
    // UTF-8: exact text marked "U", both types read; ANSI reads no "U".
    {Encrypt, Text, Keyed, S_OK, nullptr, Opens, UNICODE_TEXT, UNICODE_TEXT, Utf8},
    {Decrypt, Text, Keyed, S_OK, nullptr, Equals, MARKED_U, L"abc", Utf8},
    {Decrypt, Text, Keyed, S_OK, nullptr, Equals, HIGH_BYTES, L"\u0081@ high \u00e9\u00ff bytes\n\r\t", Utf8},
    {Decrypt, Text, Both, DAMAGED, DAMAGED_MSG, Any, MARKED_U},
    {Decrypt, Text, Keyed, INVALID_UTF8, INVALID_UTF8_MSG, Any, HIGH_BYTES_U, {}, Utf8},
    {Encrypt, Text, Keyed, UNREPRESENTABLE, UNREPRESENTABLE_MSG, Any, L"a\xd800" L"b", {}, Utf8},
    // The key text is read in the encoding of the moment, and again when it changes.
    {SetKey, Text, NoKey, S_OK, nullptr, KeyAfter, L"\u0416\u0418\u0412", L"\u0416\u0418\u0412", Utf8},
    {PutEncoding, Text, Keyed, S_OK, nullptr, Any, L"utf-8"},
    {PutEncoding, Text, Keyed, ENCODING, ENCODING_MSG, Any, L"UTF8"},
    {PutEncoding, NullBstr, Keyed, ENCODING, ENCODING_MSG, Any},
    {GetEncoding, Nothing, NoKey, S_OK, nullptr, Equals, {}, L"ANSI"},
    {GetEncoding, Nothing, NoKey, S_OK, nullptr, Equals, {}, L"UTF-8", StrictUtf8},
    // Strict: white space around a message ignored, unmarked text and inexact characters refused,
    // and only a message of this key comes back unchanged.
    {Decrypt, Text, Keyed, S_OK, nullptr, Equals, L" \r\n" MARKED L"\t\n", L"abc", StrictAnsi},
    {Decrypt, Text, NoKey, UNMARKED, UNMARKED_MSG, Any, L"abc", {}, StrictUtf8},
    {Decrypt, NullBstr, Keyed, UNMARKED, UNMARKED_MSG, Any, {}, {}, StrictAnsi},
    {Encrypt, Text, Keyed, UNREPRESENTABLE, UNREPRESENTABLE_MSG, Any, L"\u0141\u00f3d\u017a", {}, StrictAnsi},
    {SetKey, Text, Keyed, UNREPRESENTABLE, UNREPRESENTABLE_MSG, KeyAfter, L"\u65e5", KEY, StrictAnsi},
    {Encrypt, Text, Keyed, S_OK, nullptr, Equals, MARKED, MARKED, StrictAnsi},
    {HtmlEncrypt, Text, OtherKey, S_OK, nullptr, Opens, MARKED, MARKED, StrictAnsi},
    // IsEncrypted needs no key: markers, type and a well-formed header.
    {IsEncrypted, Text, NoKey, S_OK, nullptr, True, L"\n " MARKED L" "},
    {IsEncrypted, Text, NoKey, S_OK, nullptr, True, HIGH_BYTES_U},
    {IsEncrypted, Text, NoKey, S_OK, nullptr, False, L"[ZQV]X\nAAAABAYEAHCW7YRt57MCe3LG9J2Xsymj[/ZQV]"},
    {IsEncrypted, Text, NoKey, S_OK, nullptr, False, L"[ZQV]Y\nAAAABAYEAHCW7YRt57MCe3LG9J2XsymjR8dMOtcRRtI==[/ZQV]"},
    {IsEncrypted, NullBstr, NoKey, S_OK, nullptr, False},
    {IsEncrypted, Text, Both, E_POINTER, nullptr, NullOut, MARKED},
    {CipherPath, Nothing, NoKey, S_OK, nullptr, Equals},
    // Format: "Legacy" by default; in "Sealed" the string methods seal the
    // string whole as UTF-8 in their layouts, and Decrypt reads both formats.
    {GetFormat, Nothing, NoKey, S_OK, nullptr, Equals, {}, L"Legacy"},
    {GetFormat, Nothing, NoKey, S_OK, nullptr, Equals, {}, L"Sealed", Sealed},
    {PutFormat, Text, Keyed, FORMAT, FORMAT_MSG, Any, L"Sealed "},
    {Encrypt, Text, Keyed, S_OK, nullptr, Opens, L"a\0\u0141\U0001F600"sv, L"a\0\u0141\U0001F600"sv, Sealed},
    {HtmlEncrypt, Text, Keyed, S_OK, nullptr, Opens, L"", L"", Sealed},
    {MultilineEncrypt, Text, Keyed, S_OK, nullptr, Opens, L"abc", L"abc", StrictSealed},
    {Encrypt, Text, Keyed, UNREPRESENTABLE, UNREPRESENTABLE_MSG, Any, L"a\xdc00", {}, Sealed},
    {Encrypt, Text, Keyed, S_OK, nullptr, Equals, SEALED, SEALED, Sealed},
    {Encrypt, Text, Keyed, S_OK, nullptr, Equals, MARKED, MARKED, StrictSealed},
    {HtmlEncrypt, Text, OtherKey, S_OK, nullptr, Opens, SEALED, SEALED, StrictSealed},
    {Decrypt, Text, Keyed, S_OK, nullptr, Equals, SEALED, L"abc", Sealed},
    {Decrypt, Text, Keyed, S_OK, nullptr, Equals, SEALED_NUL, L"a\0\u00e9"sv, StrictSealed},
    {Decrypt, Text, Keyed, S_OK, nullptr, Equals, MARKED, L"abc", Sealed},
    {Decrypt, Text, Keyed, INVALID_UTF8, INVALID_UTF8_MSG, Any, SEALED_FF, {}, Sealed},
    {Decrypt, Text, OtherKey, NOT_DECRYPTED, NOT_DECRYPTED_MSG, Any, SEALED, {}, Sealed},
    {Decrypt, Text, Keyed, NOT_DECRYPTED, NOT_DECRYPTED_MSG, Any, SEALED_TAMPERED, {}, Sealed},
    {Decrypt, Text, NoKey, NO_KEY, L"Key not set.", Any, SEALED, {}, Sealed},
    {Decrypt, Text, Both, DAMAGED, DAMAGED_MSG, Any, SEALED},  // a legacy reader
    {IsEncrypted, Text, NoKey, S_OK, nullptr, True, SEALED_TAMPERED},
};

ComPtr<ICrypter2> KeyedCrypter(const wchar_t* key, Mode mode = Ansi)
{
    ComPtr<ICrypter2> crypter;
    EXPECT_EQ(S_OK, CreateCrypter(IID_ICrypter2, crypter.out()));
    EXPECT_EQ(S_OK, crypter->SetKey(key ? Bstr(key).get() : nullptr));
    EXPECT_EQ(S_OK, crypter->put_TextEncoding(Bstr(mode == Utf8 || mode == StrictUtf8 ? L"UTF-8" : L"ANSI").get()));
    EXPECT_EQ(S_OK, crypter->put_Strict(mode == StrictAnsi || mode >= StrictUtf8 ? VARIANT_TRUE : VARIANT_FALSE));
    EXPECT_EQ(S_OK, crypter->put_Format(Bstr(mode >= Sealed ? L"sealed" : L"LEGACY").get()));
    return crypter;
}

// What a marked text opens to under the key, through a fresh object that
// reads every type; the key text is set before the encoding.
std::wstring OpenWith(const wchar_t* key, BSTR marked)
{
    Bstr plain;
    const ComPtr<ICrypter2> crypter = KeyedCrypter(key, Utf8);
    EXPECT_EQ(S_OK, crypter->put_Format(Bstr(L"Sealed").get()));
    EXPECT_EQ(S_OK, crypter->Decrypt(marked, plain.out()));
    return plain.text();
}


// The input of one call. Descriptors made by hand carry elements that
// oleaut32 must not free.
struct CallInput {
    Bstr text;
    VARIANT value{}, ref{};
    SAFEARRAY* descriptor = nullptr;
    Bytes elements;

    ~CallInput()
    {
        if (descriptor != nullptr)
            descriptor->pvData = nullptr, SafeArrayDestroyDescriptor(descriptor);
        else
            VariantClear(&value);
        VariantClear(&ref);
    }

    void Describe(LONG lower, ULONG count, const Bytes& bytes, USHORT elementSize = 1)
    {
        ASSERT_EQ(S_OK, SafeArrayAllocDescriptorEx(VT_I1, 1, &descriptor));
        elements = bytes;
        descriptor->cbElements = elementSize;
        descriptor->pvData = elements.empty() ? nullptr : elements.data();
        descriptor->rgsabound[0] = {count, lower};
        value.vt = VT_ARRAY | VT_I1;
        value.parray = descriptor;
    }

    void Make(const Row& row, const Bytes& payload)
    {
        SAFEARRAYBOUND square[2] = {{4, 0}, {4, 0}};
        switch (row.in) {
        case Nothing: case NullBstr: case Empty: break;
        case Text: *text.out() = SysAllocStringLen(row.text.data(), UINT(row.text.size())); break;
        case Array: MakeByteArray(&value, payload); break;
        case LowerBound5: MakeByteArray(&value, payload, 5); break;
        case LowestLowerBound: Describe(LONG_MIN, ULONG(payload.size()), payload); break;
        case UI1UnderI1: MakeByteArray(&value, payload, 7, VT_UI1); value.vt = VT_ARRAY | VT_I1; break;
        case ByRefArray: MakeByteArray(&ref, payload), value.vt = VT_BYREF | ref.vt, value.pparray = &ref.parray; break;
        case ArrayOfUI1: MakeByteArray(&value, payload, 0, VT_UI1); break;
        case TwoDimensions: value.vt = VT_ARRAY | VT_I1; value.parray = SafeArrayCreate(VT_I1, 2, square); break;
        case NoElementsAt5: MakeByteArray(&value, {}, 5); break;
        case NullArray: value.vt = VT_ARRAY | VT_I1; break;
        case NoData: Describe(0, 4, {}); break;
        case WideElements: Describe(0, ULONG(payload.size() / 2), payload, 2); break;
        case UpperBoundWraps: Describe(0x7FFFFFFF, 2, payload); break;
        case CountBeyond31Bits: Describe(-0x40000000, 0xC0000000u, {}); break;
        case HugeCount: Describe(0, 0x80000000u, payload); break;
        case BeyondEnvelopeLimit: Describe(0, 0x7FFFFFF0u, payload); break;  // never read
        case Short: MakeByteArray(&value, Bytes(payload.begin(), payload.begin() + 8)); break;
        }
    }
};

HRESULT Call(ICrypter2* c, const Row& row, CallInput& in, BSTR* text, VARIANT* bytes)
{
    VARIANT_BOOL* flag = &bytes->boolVal;
    if (row.out == NullOut)
        text = nullptr, bytes = nullptr, flag = nullptr;
    switch (row.method) {
    case Encrypt: return c->Encrypt(in.text.get(), text);
    case HtmlEncrypt: return c->HtmlEncrypt(in.text.get(), text);
    case MultilineEncrypt: return c->MultilineEncrypt(in.text.get(), text);
    case Decrypt: return c->Decrypt(in.text.get(), text);
    case SetKey: return c->SetKey(in.text.get());
    case Version: return c->GetVersionString(text);
    case GetEncoding: return c->get_TextEncoding(text);
    case PutEncoding: return c->put_TextEncoding(in.text.get());
    case IsEncrypted: return c->IsEncrypted(in.text.get(), flag);
    case CipherPath: return c->get_CipherPath(text);
    case GetFormat: return c->get_Format(text);
    case PutFormat: return c->put_Format(in.text.get());
    case EncryptEx: return c->EncryptEx(in.value, bytes);
    case DecryptEx: return c->DecryptEx(in.value, bytes);
    }
    return E_UNEXPECTED;
}

// A failure leaves a null string, or the array result untouched.
void ExpectResult(const Row& row, HRESULT result, BSTR text, const VARIANT& bytes, const wchar_t* key)
{
    if (row.method >= EncryptEx) {
        EXPECT_EQ(result != S_OK, bytes.vt == VT_I4) << "result touched";
        if (result == S_OK && row.out == NoBytes) {
            EXPECT_EQ(VT_ARRAY | VT_NULL, bytes.vt);
        } else if (result == S_OK) {
            EXPECT_EQ(row.method == EncryptEx ? ENVELOPE : PLAIN, ReadByteArray(bytes));
        }
    } else if (row.method == IsEncrypted) {
        EXPECT_EQ(row.out == True && result == S_OK ? VARIANT_TRUE : VARIANT_FALSE, bytes.boolVal);
    } else if (result != S_OK || row.out == IsNull) {
        EXPECT_EQ(nullptr, text) << "result not null";
    } else if (row.method == CipherPath) {
        EXPECT_EQ(std::string(ChosenImplementation().name), std::string(text, text + SysStringLen(text)));
    } else {
        EXPECT_EQ(row.expected, row.out == Opens ? OpenWith(key, text) : std::wstring(text, SysStringLen(text)));
        if (row.out == Opens && row.mode >= Sealed) {  // the method's layout around a sealed message
            const wchar_t* lead = row.method == HtmlEncrypt ? L"G\n<" : row.method == Encrypt ? L"G\nW" : L"G\n\n";
            EXPECT_EQ(lead, std::wstring(text + 5, 3));
        } else if (row.out == Opens) {
            EXPECT_EQ(row.mode == Utf8 || row.mode == StrictUtf8 ? L'U' : L'X', text[5]);
        }
    }
}

// The object encrypts for a fresh object of the key it must have; without
// one, it refuses to encrypt.
void ExpectKey(ICrypter2* crypter, const wchar_t* key)
{
    const Bstr probe(L"probe after the call");
    Bstr marked;
    const HRESULT result = crypter->Encrypt(probe.get(), marked.out());
    TakeErrorRecord();
    ASSERT_EQ(key ? S_OK : NO_KEY, result) << "key state changed";
    EXPECT_TRUE(!key || OpenWith(key, marked.get()) == probe.text()) << "key changed";
}

// With failAt >= 0, the call's failAt-th allocation (heap or automation) and
// every later one fail: the call may then end in E_OUTOFMEMORY, with the
// result as for any failure and no error record. Returns false once the call
// no longer reaches the failing allocation.
bool RunRow(std::size_t i, const wchar_t* key, long failAt)
{
    SCOPED_TRACE("row " + std::to_string(i) + (key ? ", keyed" : ", no key") + ", failing allocation " +
                 std::to_string(failAt));
    const Row& row = ROWS[i];
    const auto before = LiveCounts();
    bool reached = true;
    {
        ComPtr<ICrypter2> crypter = KeyedCrypter(key, row.mode);
        CallInput in;
        in.Make(row, row.method == EncryptEx ? PLAIN : ENVELOPE);
        const Bstr stale(L"stale");
        BSTR text = stale.get();
        VARIANT bytes{};
        bytes.vt = row.method == IsEncrypted ? VT_BOOL : VT_I4;
        ReportError(E_FAIL, BEFORE);
        FailAllocationsFrom(failAt);
        const HRESULT result = Call(crypter.get(), row, in, &text, &bytes);
        reached = FailAllocationsFrom(-1) <= 0;
        const bool ranOut = failAt >= 0 && result == E_OUTOFMEMORY;
        EXPECT_EQ(ranOut ? E_OUTOFMEMORY : row.result, result);
        const wchar_t* message = result == S_OK ? BEFORE : ranOut ? nullptr : row.message;
        EXPECT_EQ(message ? L"Zarnocrypt.Crypter|"s + message : L"", TakeErrorRecord());
        if (row.out != NullOut && row.method != SetKey && row.method != PutEncoding && row.method != PutFormat) {
            EXPECT_TRUE(row.method >= EncryptEx || row.method == IsEncrypted || text != stale.get())
                << "string result not written";
            ExpectResult(row, result, text == stale.get() ? nullptr : text, bytes, key);
        }
        if (text != stale.get())
            SysFreeString(text);
        VariantClear(&bytes);
        const wchar_t* after = row.out != KeyAfter ? key : row.expected.empty() ? nullptr : row.expected.data();
        if (ranOut && (row.method == SetKey || row.method == PutEncoding)) {  // the old key or none: set it again
            EXPECT_EQ(S_OK, crypter->SetKey(Bstr(after ? after : L"").get()));
        }
        ExpectKey(crypter.get(), after);
    }
    EXPECT_EQ(before, LiveCounts()) << "{strings and safe arrays, heap blocks} left alive";
    return reached;
}

TEST(Boundary, EveryRowAndEveryAllocationFailing)
{
    void* none = &none;
    FailAllocationsFrom(0);
    EXPECT_EQ(E_OUTOFMEMORY, CreateCrypter(IID_ICrypter, &none));
    FailAllocationsFrom(-1);
    EXPECT_EQ(nullptr, none);
    for (std::size_t i = 0; i < std::size(ROWS); ++i) {
        for (const Key state : {NoKey, Keyed, OtherKey}) {
            const wchar_t* key = state == NoKey ? nullptr : state == Keyed ? KEY : OTHER_KEY;
            const bool applies = ROWS[i].key == state || (ROWS[i].key == Both && state != OtherKey);
            for (long failAt = -1; applies && failAt < 300 && RunRow(i, key, failAt);)
                ++failAt;
        }
    }
}

}  // namespace
}  // namespace zarnocrypt::test
