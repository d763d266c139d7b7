// Every ICrypter method at its boundary: null result pointers, null strings,
// strings with zero characters, 16 MiB strings, and variants of every shape.
// CheckBoundaryCall adds the checks that follow every call.
#include "crypter_boundary.h"

#include <climits>

namespace zarnocrypt::test {
namespace {

const std::pair<const char*, StringMethod> ENCRYPTING[] = {
    {"Encrypt", &ICrypter::Encrypt},
    {"HtmlEncrypt", &ICrypter::HtmlEncrypt},
    {"MultilineEncrypt", &ICrypter::MultilineEncrypt},
};

// The result must always be written: null when the call fails or gives no text.
std::function<HRESULT(ICrypter*)> CallString(StringMethod method, std::wstring input, bool nullInput,
                                             std::function<void(const Bstr& out)> check)
{
    return [=](ICrypter* crypter) {
        Bstr in(input), stale(L"stale"), out;
        BSTR result = stale.get();
        const HRESULT hr = (crypter->*method)(nullInput ? nullptr : in.get(), &result);
        EXPECT_NE(stale.get(), result) << "result not written";
        if (result != stale.get())
            *out.out() = result;
        check(out);
        return hr;
    };
}

void ExpectNull(const Bstr& out) { EXPECT_TRUE(out.null()); }

// What a fresh object with the boundary key makes of a marked text.
std::wstring OpenMarked(const Bstr& marked)
{
    return CallText(KeyedCrypter(BOUNDARY_KEY).get(), &ICrypter::Decrypt, marked.text());
}

TEST(Boundary, NullResultPointersAreRefusedWithoutErrorInfo)
{
    Bstr text(L"abc");
    Variant bytes;
    MakeByteArray(bytes.get(), {1, 2, 3});
    const VARIANT in = *bytes;
    const std::pair<const char*, std::function<HRESULT(ICrypter*)>> calls[] = {
        {"Encrypt", [&](ICrypter* c) { return c->Encrypt(text.get(), nullptr); }},
        {"HtmlEncrypt", [&](ICrypter* c) { return c->HtmlEncrypt(text.get(), nullptr); }},
        {"MultilineEncrypt", [&](ICrypter* c) { return c->MultilineEncrypt(text.get(), nullptr); }},
        {"Decrypt", [&](ICrypter* c) { return c->Decrypt(text.get(), nullptr); }},
        {"GetVersionString", [&](ICrypter* c) { return c->GetVersionString(nullptr); }},
        {"EncryptEx", [&](ICrypter* c) { return c->EncryptEx(in, nullptr); }},
        {"DecryptEx", [&](ICrypter* c) { return c->DecryptEx(in, nullptr); }},
    };
    for (const auto& [name, call] : calls) {
        CheckBoundaryCall(std::string(name) + " keyed", BOUNDARY_KEY, call, {E_POINTER, nullptr});
        // The pointer is tested before the key.
        CheckBoundaryCall(std::string(name) + " without key", nullptr, call, {E_POINTER, nullptr, nullptr});
    }
}

// A null string gives a null result; without a key the encrypting methods
// fail first. A null or empty key text removes the key.
TEST(Boundary, NullStrings)
{
    for (const auto& [name, method] : ENCRYPTING) {
        CheckBoundaryCall(std::string(name) + " keyed", BOUNDARY_KEY, CallString(method, L"", true, ExpectNull),
                          Succeeds());
        CheckBoundaryCall(std::string(name) + " without key", nullptr, CallString(method, L"", true, ExpectNull),
                          {E_CRYPTER_KEY_NOT_SET, MSG_KEY_NOT_SET, nullptr});
    }
    CheckBoundaryCall("Decrypt keyed", BOUNDARY_KEY, CallString(&ICrypter::Decrypt, L"", true, ExpectNull),
                      Succeeds());
    CheckBoundaryCall("Decrypt without key", nullptr, CallString(&ICrypter::Decrypt, L"", true, ExpectNull),
                      {S_OK, nullptr, nullptr});
    CheckBoundaryCall("SetKey null", BOUNDARY_KEY, [](ICrypter* c) { return c->SetKey(nullptr); },
                      {S_OK, nullptr, nullptr});
    CheckBoundaryCall("SetKey empty", BOUNDARY_KEY, [](ICrypter* c) { return c->SetKey(Bstr(L"").get()); },
                      {S_OK, nullptr, nullptr});
}

// Automation strings carry their length: everything from the first zero
// character on is not part of the text.
TEST(Boundary, StringsWithZeroCharacters)
{
    const std::wstring withZero(L"abc\0def\0", 8);
    for (const auto& [name, method] : ENCRYPTING) {
        CheckBoundaryCall(name, BOUNDARY_KEY,
                          CallString(method, withZero, false, [](const Bstr& out) { EXPECT_EQ(L"abc", OpenMarked(out)); }),
                          Succeeds());
    }
    CheckBoundaryCall("Decrypt of plain text", nullptr,
                      CallString(&ICrypter::Decrypt, withZero, false,
                                 [](const Bstr& out) { EXPECT_EQ(L"abc", out.text()); }),
                      {S_OK, nullptr, nullptr});
    // A marked text followed by a zero character and anything at all.
    const std::wstring marked =
        CallText(KeyedCrypter(BOUNDARY_KEY).get(), &ICrypter::Encrypt, L"plain") + std::wstring(L"\0[/ZQV]", 7);
    CheckBoundaryCall("Decrypt of marked text", BOUNDARY_KEY,
                      CallString(&ICrypter::Decrypt, marked, false,
                                 [](const Bstr& out) { EXPECT_EQ(L"plain", out.text()); }),
                      Succeeds());
    Expected shortKey = Succeeds();
    shortKey.keyAfter = L"key";
    CheckBoundaryCall("SetKey", BOUNDARY_KEY,
                      [](ICrypter* c) { return c->SetKey(Bstr(std::wstring(L"key\0tail", 8)).get()); }, shortKey);
}

std::wstring Huge()
{
    std::wstring text(16u << 20, L'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<wchar_t>(L' ' + i % 95);
    return text;
}

TEST(Boundary, SixteenMebibyteStrings)
{
    const std::wstring huge = Huge();
    CheckBoundaryCall("Encrypt and Decrypt", BOUNDARY_KEY,
                      [&](ICrypter* c) {
                          Bstr in(huge);
                          Bstr marked;
                          const HRESULT result = c->Encrypt(in.get(), marked.out());
                          Bstr opened;
                          EXPECT_EQ(S_OK, c->Decrypt(marked.get(), opened.out()));
                          EXPECT_TRUE(huge == opened.text());
                          return result;
                      },
                      Succeeds());
    CheckBoundaryCall("Decrypt of plain text", BOUNDARY_KEY,
                      CallString(&ICrypter::Decrypt, huge, false,
                                 [&](const Bstr& out) { EXPECT_TRUE(huge == out.text()); }),
                      Succeeds());
    // Only the first 32 bytes of a key text make the key.
    const std::wstring keyPrefix = huge.substr(0, 32);
    Expected longKey = Succeeds();
    longKey.keyAfter = keyPrefix.c_str();
    CheckBoundaryCall("SetKey", nullptr, [&](ICrypter* c) { return c->SetKey(Bstr(huge).get()); }, longKey);
}

// An input variant and what it points at, released by hand: descriptors made
// here carry elements that oleaut32 must not free.
struct VariantInput {
    VARIANT value{};
    VARIANT referent{};  // what by-reference forms point at
    SAFEARRAY* descriptor = nullptr;
    std::vector<std::uint8_t> elements;
    signed char scalar = 0;
    BSTR text = nullptr;

    VariantInput() = default;
    VariantInput(const VariantInput&) = delete;
    VariantInput& operator=(const VariantInput&) = delete;
    ~VariantInput()
    {
        if (descriptor != nullptr) {
            descriptor->pvData = nullptr;
            SafeArrayDestroyDescriptor(descriptor);
        } else {
            VariantClear(&value);
        }
        VariantClear(&referent);
        SysFreeString(text);
    }

    // A one-dimensional VT_I1 descriptor with the given bound, over a copy of
    // bytes (null data when there are none).
    void Describe(LONG lower, ULONG count, const std::vector<std::uint8_t>& bytes, USHORT elementSize = 1)
    {
        ASSERT_EQ(S_OK, SafeArrayAllocDescriptorEx(VT_I1, 1, &descriptor));
        elements = bytes;
        descriptor->cbElements = elementSize;
        descriptor->pvData = elements.empty() ? nullptr : elements.data();
        descriptor->rgsabound[0].cElements = count;
        descriptor->rgsabound[0].lLbound = lower;
        value.vt = VT_ARRAY | VT_I1;
        value.parray = descriptor;
    }
};

enum class Shape { NoBytes, Bytes, TooLong };

struct VariantCase {
    const char* name;
    Shape shape;
    void (*make)(VariantInput& input, const std::vector<std::uint8_t>& payload);
};

void MakeArrayOf(VARIANT* v, VARTYPE element, ULONG count)
{
    SAFEARRAYBOUND bound{count, 0};
    v->parray = SafeArrayCreate(element, 1, &bound);
    v->vt = VT_ARRAY | element;
}

const VariantCase VARIANT_CASES[] = {
    {"Empty", Shape::NoBytes, [](VariantInput&, const auto&) {}},
    {"Null", Shape::NoBytes, [](VariantInput& in, const auto&) { in.value.vt = VT_NULL; }},
    {"I2", Shape::NoBytes, [](VariantInput& in, const auto&) { in.value.vt = VT_I2; in.value.iVal = 3; }},
    {"I4", Shape::NoBytes, [](VariantInput& in, const auto&) { in.value.vt = VT_I4; in.value.lVal = -1; }},
    {"R8", Shape::NoBytes, [](VariantInput& in, const auto&) { in.value.vt = VT_R8; in.value.dblVal = 1e300; }},
    {"Bstr", Shape::NoBytes,
     [](VariantInput& in, const auto&) { in.value.vt = VT_BSTR; in.value.bstrVal = SysAllocString(L"abc"); }},
    {"NullBstr", Shape::NoBytes, [](VariantInput& in, const auto&) { in.value.vt = VT_BSTR; }},
    {"NullDispatch", Shape::NoBytes, [](VariantInput& in, const auto&) { in.value.vt = VT_DISPATCH; }},
    {"ByRefI1", Shape::NoBytes,
     [](VariantInput& in, const auto&) { in.value.vt = VT_BYREF | VT_I1; in.value.pcVal = reinterpret_cast<CHAR*>(&in.scalar); }},
    {"ByRefBstr", Shape::NoBytes,
     [](VariantInput& in, const auto&) { in.text = SysAllocString(L"abc"); in.value.vt = VT_BYREF | VT_BSTR; in.value.pbstrVal = &in.text; }},
    {"ByRefByteArray", Shape::NoBytes,
     [](VariantInput& in, const auto& payload) {
         MakeByteArray(&in.referent, payload);
         in.value.vt = VT_BYREF | VT_ARRAY | VT_I1;
         in.value.pparray = &in.referent.parray;
     }},
    {"ByRefVariantHoldingByteArray", Shape::NoBytes,
     [](VariantInput& in, const auto& payload) {
         MakeByteArray(&in.referent, payload);
         in.value.vt = VT_BYREF | VT_VARIANT;
         in.value.pvarVal = &in.referent;
     }},
    {"ArrayOfUI1", Shape::NoBytes, [](VariantInput& in, const auto& payload) { MakeByteArray(&in.value, payload, 0, VT_UI1); }},
    {"ArrayOfI2", Shape::NoBytes, [](VariantInput& in, const auto&) { MakeArrayOf(&in.value, VT_I2, 4); }},
    {"ArrayOfVariant", Shape::NoBytes, [](VariantInput& in, const auto&) { MakeArrayOf(&in.value, VT_VARIANT, 4); }},
    {"ArrayOfBstr", Shape::NoBytes, [](VariantInput& in, const auto&) { MakeArrayOf(&in.value, VT_BSTR, 4); }},
    {"TwoDimensionalI1", Shape::NoBytes,
     [](VariantInput& in, const auto&) {
         SAFEARRAYBOUND bounds[2] = {{4, 0}, {4, 0}};
         in.value.parray = SafeArrayCreate(VT_I1, 2, bounds);
         in.value.vt = VT_ARRAY | VT_I1;
     }},
    {"NoElements", Shape::NoBytes, [](VariantInput& in, const auto&) { MakeArrayOf(&in.value, VT_I1, 0); }},
    {"NoElementsAtLowerBound5", Shape::NoBytes, [](VariantInput& in, const auto&) { MakeByteArray(&in.value, {}, 5); }},
    {"NullArray", Shape::NoBytes, [](VariantInput& in, const auto&) { in.value.vt = VT_ARRAY | VT_I1; }},
    {"NoData", Shape::NoBytes, [](VariantInput& in, const auto&) { in.Describe(0, 4, {}); }},
    {"WideElementsUnderI1TypeWord", Shape::NoBytes,
     [](VariantInput& in, const auto& payload) { in.Describe(0, static_cast<ULONG>(payload.size() / 2), payload, 2); }},
    // The upper bound wraps past LONG's largest value: no positive count.
    {"UpperBoundWraps", Shape::NoBytes, [](VariantInput& in, const auto& payload) { in.Describe(0x7FFFFFFF, 2, payload); }},
    {"ElementCountWraps", Shape::NoBytes, [](VariantInput& in, const auto&) { in.Describe(0, 0xFFFFFFFFu, {}); }},
    {"CountBeyond31Bits", Shape::TooLong, [](VariantInput& in, const auto&) { in.Describe(-0x40000000, 0xC0000000u, {}); }},
    {"HugeCountOverFewBytes", Shape::TooLong,
     [](VariantInput& in, const auto& payload) { in.Describe(0, 0x80000000u, payload); }},
    {"NegativeLowerBound", Shape::Bytes,
     [](VariantInput& in, const auto& payload) { in.Describe(-3, static_cast<ULONG>(payload.size()), payload); }},
    {"LowestLowerBound", Shape::Bytes,
     [](VariantInput& in, const auto& payload) { in.Describe(LONG_MIN, static_cast<ULONG>(payload.size()), payload); }},
    {"UI1ElementsUnderI1TypeWord", Shape::Bytes,
     [](VariantInput& in, const auto& payload) {
         MakeByteArray(&in.value, payload, 7, VT_UI1);
         in.value.vt = VT_ARRAY | VT_I1;
     }},
};

const std::vector<std::uint8_t> SAMPLE = {0x00, 0x7F, 0x80, 0xFF, 'a', 'b', 'c', 0x01, 0xFE, 0x10};

// What a fresh object with the boundary key makes of bytes.
std::vector<std::uint8_t> CryptByReference(VariantMethod method, const std::vector<std::uint8_t>& bytes)
{
    return CallBytes(KeyedCrypter(BOUNDARY_KEY).get(), method, bytes);
}

struct Direction {
    const char* name;
    VariantMethod method;
    VariantMethod inverse;
    HRESULT refusal;
    const wchar_t* message;
};

const Direction DIRECTIONS[] = {
    {"EncryptEx", &ICrypter::EncryptEx, &ICrypter::DecryptEx, E_CRYPTER_ENCRYPT_FAILED, MSG_ENCRYPT_FAILED},
    {"DecryptEx", &ICrypter::DecryptEx, &ICrypter::EncryptEx, E_CRYPTER_DECRYPT_FAILED, MSG_DECRYPT_FAILED},
};

// Only a one-dimensional VT_ARRAY|VT_I1 by value carries bytes; every other
// shape is the no-bytes answer, and a count beyond 32-bit sizes is refused.
TEST(Boundary, VariantsOfEveryShape)
{
    for (const Direction& d : DIRECTIONS) {
        // What DecryptEx is given is an envelope of the sample.
        const std::vector<std::uint8_t> payload =
            d.method == &ICrypter::EncryptEx ? SAMPLE : CryptByReference(&ICrypter::EncryptEx, SAMPLE);
        for (const VariantCase& c : VARIANT_CASES) {
            const std::string label = std::string(d.name) + " of " + c.name;
            const Expected expected = c.shape == Shape::TooLong ? FailsWith(d.refusal, d.message) : Succeeds();
            CheckBoundaryCall(label, BOUNDARY_KEY,
                              [&](ICrypter* crypter) {
                                  VariantInput in;
                                  c.make(in, payload);
                                  VARIANT out;
                                  out.vt = VT_I4;
                                  out.lVal = 0x5A5A5A5A;
                                  const HRESULT result = (crypter->*d.method)(in.value, &out);
                                  if (c.shape == Shape::TooLong) {
                                      EXPECT_EQ(VT_I4, out.vt) << label << ": output touched";
                                  } else if (c.shape == Shape::NoBytes) {
                                      EXPECT_EQ(VT_ARRAY | VT_NULL, out.vt) << label;
                                  } else {
                                      const std::vector<std::uint8_t> bytes = ReadByteArray(out);
                                      EXPECT_EQ(SAMPLE, d.method == &ICrypter::EncryptEx
                                                            ? CryptByReference(d.inverse, bytes)
                                                            : bytes)
                                          << label;
                                  }
                                  VariantClear(&out);
                                  return result;
                              },
                              expected);
        }
        // The object itself as IDispatch, which the variant holds a reference to.
        CheckBoundaryCall(std::string(d.name) + " of the object as IDispatch", BOUNDARY_KEY,
                          [&](ICrypter* crypter) {
                              VARIANT in;
                              in.vt = VT_DISPATCH;
                              in.pdispVal = crypter;
                              Variant out;
                              const HRESULT result = (crypter->*d.method)(in, out.get());
                              EXPECT_EQ(VT_ARRAY | VT_NULL, (*out).vt);
                              return result;
                          },
                          Succeeds());
    }
}

}  // namespace
}  // namespace zarnocrypt::test
