// Envelopes (through DecryptEx) and marked texts (through Decrypt) cut at
// every byte and with every header byte changed. The expected outcomes follow
// the order of the envelope's checks: the block length is taken over before
// the size and key-length checks, so a refused message may still switch it.
#include "crypter_boundary.h"

#include "base64.h"
#include "envelope.h"
#include "rijndael_key.h"

namespace zarnocrypt::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr char PLAIN_TEXT[] = "forty bytes of plaintext to fill two blk";
const Bytes PLAIN(PLAIN_TEXT, PLAIN_TEXT + 40);

const Expected DECRYPT_FAILED = FailsWith(E_CRYPTER_DECRYPT_FAILED, MSG_DECRYPT_FAILED);
const Expected CODE_DAMAGED = FailsWith(E_CRYPTER_CODE_DAMAGED, MSG_CODE_DAMAGED);

// An envelope of PLAIN under the boundary key's text with Nb words per block.
Bytes SealNatively(std::int32_t nb)
{
    RijndaelKey key;
    key.SetKeyText("boundary key");
    EXPECT_EQ(0, key.BuildSchedule(nb));
    EnvelopeCodec codec;
    codec.BindKey(key);
    const Buffer sealed = codec.EncryptEnvelope(PLAIN.data(), static_cast<std::int32_t>(PLAIN.size()));
    return Bytes(sealed.begin(), sealed.end());
}

Expected WithBlockWords(Expected expected, BYTE nb)
{
    expected.blockWordsAfter = nb;
    return expected;
}

// DecryptEx of message must give plain (null: the given failure or no-bytes answer).
void CheckDecryptEx(const std::string& label, const Bytes& message, const Bytes* plain, const Expected& expected)
{
    CheckBoundaryCall(label, BOUNDARY_KEY,
                      [&](ICrypter* crypter) {
                          Variant in;
                          if (!message.empty())
                              MakeByteArray(in.get(), message);
                          VARIANT out;
                          out.vt = VT_I4;
                          out.lVal = 0x5A5A5A5A;
                          const HRESULT result = crypter->DecryptEx(*in, &out);
                          if (plain != nullptr)
                              EXPECT_EQ(*plain, ReadByteArray(out)) << label;
                          else if (message.empty())
                              EXPECT_EQ(VT_ARRAY | VT_NULL, out.vt) << label;
                          else
                              EXPECT_EQ(VT_I4, out.vt) << label << ": output touched";
                          VariantClear(&out);
                          return result;
                      },
                      expected);
}

TEST(BoundaryDamage, EnvelopesCutAtEveryByte)
{
    for (const std::int32_t nb : {6, 8}) {
        const Bytes envelope = SealNatively(nb);
        for (std::size_t n = 0; n <= envelope.size(); ++n) {
            const Bytes cut(envelope.begin(), envelope.begin() + static_cast<std::ptrdiff_t>(n));
            const std::string label = "Nb " + std::to_string(nb) + " envelope cut to " + std::to_string(n);
            // Past the 8-byte header the fingerprint matches and the block length is taken over.
            const BYTE nbAfter = n > ENVELOPE_HEADER_SIZE ? static_cast<BYTE>(nb) : 6;
            if (n == 0)
                CheckDecryptEx(label, cut, nullptr, Succeeds());
            else if (n == envelope.size())
                CheckDecryptEx(label, cut, &PLAIN, WithBlockWords(Succeeds(), nbAfter));
            else
                CheckDecryptEx(label, cut, nullptr, WithBlockWords(DECRYPT_FAILED, nbAfter));
        }
    }
}

// Whether an envelope with header byte i set to value still opens, and the
// block length that the key has afterwards.
struct Verdict {
    bool opens;
    BYTE nbAfter;
};

Verdict JudgeHeaderChange(std::size_t i, BYTE value)
{
    switch (i) {
    case 4:  // a valid other block length is taken over, then the size or the magic fails
        return {false, static_cast<BYTE>(value == 4 || value == 8 ? value : 6)};
    case 6:  // only 4 announces an appendix, which the size then lacks
        return {value != ENVELOPE_APPENDIX_FLAG, 6};
    default:  // length (size or magic check), key length, fingerprint
        return {false, 6};
    }
}

// Decrypt of text must give the result text (with S_OK) or fail as expected.
void CheckDecrypt(const std::string& label, const std::wstring& text, const std::wstring& result,
                  const Expected& expected)
{
    CheckBoundaryCall(label, BOUNDARY_KEY,
                      [&](ICrypter* crypter) {
                          Bstr in(text);
                          Bstr out;
                          const HRESULT hr = crypter->Decrypt(in.get(), out.out());
                          if (hr == S_OK)
                              EXPECT_EQ(result, out.text()) << label;
                          else
                              EXPECT_TRUE(out.null()) << label;
                          return hr;
                      },
                      expected);
}

std::wstring Widen(const Bytes& bytes)
{
    return std::wstring(bytes.begin(), bytes.end());
}

// The marked text of an envelope, as Encrypt frames it.
std::wstring Mark(const Bytes& envelope)
{
    const Buffer base64 = Base64Encode(envelope.data(), static_cast<std::uint32_t>(envelope.size()), 0);
    return L"[ZQV]X\n" + Widen(Bytes(base64.begin(), base64.end())) + L"[/ZQV]";
}

constexpr std::size_t FORM_HEADER_SIZE = 7;  // "[ZQV]X\n"

// A marked text cut anywhere has lost its end marker and is passed back.
TEST(BoundaryDamage, MarkedTextsCutAtEveryCharacter)
{
    const std::wstring marked = Mark(SealNatively(6));
    for (std::size_t n = 0; n < marked.size(); ++n)
        CheckDecrypt("marked text cut to " + std::to_string(n), marked.substr(0, n), marked.substr(0, n), Succeeds());
}

// The body cut short before an intact end marker: too little for a header is
// damage, a header without its blocks does not decrypt.
TEST(BoundaryDamage, MarkedTextBodiesCutShort)
{
    const std::wstring marked = Mark(SealNatively(6));
    const std::wstring plain = Widen(PLAIN);
    const std::size_t bodyEnd = marked.size() - 6;
    for (std::size_t n = 0; n <= bodyEnd; ++n) {
        const std::wstring text = marked.substr(0, n) + L"[/ZQV]";
        const std::string label = "marked body cut to " + std::to_string(n);
        if (n < 5) {
            CheckDecrypt(label, text, text, Succeeds());  // no end marker after the start marker
        } else if (n < FORM_HEADER_SIZE) {
            CheckDecrypt(label, text, L"", CODE_DAMAGED);
        } else {
            const std::size_t values = std::count_if(marked.begin() + FORM_HEADER_SIZE, marked.begin() + n,
                                                     [](wchar_t c) { return c != L'='; });
            const std::size_t decoded = values * 6 / 8;
            const std::size_t whole = ENVELOPE_HEADER_SIZE + 2 * 24;
            if (decoded < ENVELOPE_HEADER_SIZE)
                CheckDecrypt(label, text, L"", CODE_DAMAGED);
            else if (decoded < whole)
                CheckDecrypt(label, text, L"", DECRYPT_FAILED);
            else
                CheckDecrypt(label, text, plain, Succeeds());
        }
    }
}

// The form's own header: the start marker is not read, the type letter must
// be X, the line feed is skipped like any character outside the alphabet.
TEST(BoundaryDamage, MarkedTextFormHeaderChanged)
{
    const std::wstring marked = Mark(SealNatively(6));
    const std::wstring plain = Widen(PLAIN);
    for (std::size_t i = 0; i < FORM_HEADER_SIZE; ++i) {
        for (const wchar_t value : {L'\0', L' ', L'=', L'x', L'\u65e5'}) {
            std::wstring text = marked;
            text[i] = value;
            const std::string label = "marked header char " + std::to_string(i) + " = " + std::to_string(value);
            if (value == L'\0')
                CheckDecrypt(label, text, text.substr(0, i), Succeeds());  // the text ends there, unmarked
            else if (i < 5)
                CheckDecrypt(label, text, plain, Succeeds());
            else if (i == 5)
                CheckDecrypt(label, text, L"", CODE_DAMAGED);
            else if (value == L'=')
                CheckDecrypt(label, text, L"", CODE_DAMAGED);  // decoding stops before the first value
            else if (value == L'x')
                CheckDecrypt(label, text, L"", DECRYPT_FAILED);  // one value more shifts every byte
            else
                CheckDecrypt(label, text, plain, Succeeds());
        }
    }
}

// Each header byte changed, in the envelope itself (DecryptEx) and inside a
// marked text (Decrypt).
TEST(BoundaryDamage, EnvelopeHeaderBytesChanged)
{
    const Bytes envelope = SealNatively(6);
    for (std::size_t i = 0; i < ENVELOPE_HEADER_SIZE; ++i) {
        for (const BYTE value : {0x00, 0x01, 0x04, 0x08, 0x80, 0xFF}) {
            if (envelope[i] == value)
                continue;
            Bytes changed = envelope;
            changed[i] = value;
            const Verdict verdict = JudgeHeaderChange(i, value);
            const Expected expected = WithBlockWords(verdict.opens ? Succeeds() : DECRYPT_FAILED, verdict.nbAfter);
            const std::string label = "envelope byte " + std::to_string(i) + " = " + std::to_string(value);
            CheckDecryptEx(label, changed, verdict.opens ? &PLAIN : nullptr, expected);
            CheckDecrypt("marked " + label, Mark(changed), verdict.opens ? Widen(PLAIN) : L"", expected);
        }
    }
}

}  // namespace
}  // namespace zarnocrypt::test
