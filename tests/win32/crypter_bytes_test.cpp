// EncryptEx and DecryptEx: which variants carry bytes, the shape of the
// results, and the envelope's block length as the object follows it.
#include "crypter_test_support.h"

#include "crypter_errors.h"
#include "envelope.h"
#include "rijndael_key.h"

namespace zarnocrypt::test {
namespace {

using VariantMethod = HRESULT (STDMETHODCALLTYPE ICrypter::*)(VARIANT, VARIANT*);

constexpr VARTYPE VT_NO_BYTES = VT_ARRAY | VT_NULL;  // 0x2001

std::vector<std::uint8_t> Sequence(std::size_t count)
{
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 37 + 200);  // crosses the signed boundary
    return bytes;
}

// A variant that must stay as it is when a call fails.
void MakeSentinel(VARIANT* variant)
{
    variant->vt = VT_I4;
    variant->lVal = 0x5A5A5A5A;
}

void ExpectSentinel(const VARIANT& variant)
{
    EXPECT_EQ(VT_I4, variant.vt);
    EXPECT_EQ(0x5A5A5A5A, variant.lVal);
}

struct NoBytesInput {
    const char* name;
    void (*make)(VARIANT* variant);
};

const NoBytesInput NO_BYTES_INPUTS[] = {
    {"Empty", [](VARIANT*) {}},
    {"UnsignedBytes", [](VARIANT* v) { MakeByteArray(v, {1, 2, 3}, 0, VT_UI1); }},
    {"String", [](VARIANT* v) { v->vt = VT_BSTR; v->bstrVal = SysAllocString(L"abc"); }},
    {"NoElements", [](VARIANT* v) { MakeByteArray(v, {}); }},
    {"NoElementsAtLowerBound5", [](VARIANT* v) { MakeByteArray(v, {}, 5); }},
    {"NullArray", [](VARIANT* v) { v->vt = VT_ARRAY | VT_I1; v->parray = nullptr; }},
    {"TwoDimensions", [](VARIANT* v) {
         SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 0}};
         v->parray = SafeArrayCreate(VT_I1, 2, bounds);
         v->vt = VT_ARRAY | VT_I1;
     }},
};

// By reference: the type word has VT_BYREF, so it is not 0x2010.
class ByReferenceArray {
public:
    ByReferenceArray() { MakeByteArray(&owner_, {1, 2, 3}); }
    ~ByReferenceArray() { VariantClear(&owner_); }
    VARIANT Variant() { VARIANT v; v.vt = VT_BYREF | VT_ARRAY | VT_I1; v.pparray = &owner_.parray; return v; }

private:
    VARIANT owner_{};
};

struct Direction {
    const char* name;
    VariantMethod method;
};

class BothDirections : public testing::TestWithParam<Direction> {};

INSTANTIATE_TEST_SUITE_P(Crypter, BothDirections,
                         testing::Values(Direction{"EncryptEx", &ICrypter::EncryptEx},
                                         Direction{"DecryptEx", &ICrypter::DecryptEx}),
                         [](const auto& tested) { return std::string(tested.param.name); });

TEST_P(BothDirections, InputsWithoutBytesGiveTheNoBytesAnswer)
{
    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter, L"key");
    for (const NoBytesInput& input : NO_BYTES_INPUTS) {
        Variant in;
        input.make(in.get());
        Variant out;
        EXPECT_EQ(S_OK, (crypter.get()->*GetParam().method)(*in, out.get())) << input.name;
        EXPECT_EQ(VT_NO_BYTES, (*out).vt) << input.name;
    }
    ByReferenceArray byReference;
    Variant out;
    EXPECT_EQ(S_OK, (crypter.get()->*GetParam().method)(byReference.Variant(), out.get()));
    EXPECT_EQ(VT_NO_BYTES, (*out).vt);
}

TEST_P(BothDirections, WithoutKeyFailsFirstWhateverTheInput)
{
    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter);
    Variant bytes;
    MakeByteArray(bytes.get(), {1, 2, 3});
    Variant empty;
    for (VARIANT* input : {bytes.get(), empty.get()}) {
        Variant out;
        MakeSentinel(out.get());
        EXPECT_EQ(E_CRYPTER_KEY_NOT_SET, (crypter.get()->*GetParam().method)(*input, out.get()));
        ExpectSentinel(*out);
        ExpectReported(L"Key has not been set.");
    }
}

// A count beyond 32-bit sizes is refused without touching the elements.
TEST_P(BothDirections, AbsurdElementCountIsRefused)
{
    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter, L"key");
    SAFEARRAY* array = nullptr;
    ASSERT_EQ(S_OK, SafeArrayAllocDescriptorEx(VT_I1, 1, &array));
    std::uint8_t few[4] = {};
    array->cbElements = 1;
    array->pvData = few;
    array->rgsabound[0].cElements = 0x80000000u;
    array->rgsabound[0].lLbound = 0;
    VARIANT in;
    in.vt = VT_ARRAY | VT_I1;
    in.parray = array;
    Variant out;
    MakeSentinel(out.get());
    const bool encrypt = GetParam().method == &ICrypter::EncryptEx;
    EXPECT_EQ(encrypt ? E_CRYPTER_ENCRYPT_FAILED : E_CRYPTER_DECRYPT_FAILED,
              (crypter.get()->*GetParam().method)(in, out.get()));
    ExpectSentinel(*out);
    ExpectReported(encrypt ? L"Cannot encrypt data." : L"Cannot decrypt data.");
    array->pvData = nullptr;
    SafeArrayDestroyDescriptor(array);
}

TEST(Crypter, ByteArraysRoundTripWithLowerBoundZero)
{
    ComPtr<ICrypter> sender;
    MakeCrypter(sender, L"byte key");
    ComPtr<ICrypter> receiver;
    MakeCrypter(receiver, L"byte key");
    for (std::size_t count : {1u, 20u, 21u, 22u, 45u, 1000u}) {
        const std::vector<std::uint8_t> plain = Sequence(count);
        Variant in;
        MakeByteArray(in.get(), plain, 5);
        Variant envelope;
        ASSERT_EQ(S_OK, sender->EncryptEx(*in, envelope.get()));
        const std::vector<std::uint8_t> sealed = ReadByteArray(*envelope);
        // Header of 8 bytes, then whole 24-byte blocks holding the bytes and the 3-byte magic.
        ASSERT_EQ(8 + 24 * ((count + 3 + 23) / 24), sealed.size());
        EXPECT_EQ(count, (std::size_t{sealed[0]} << 24) | (sealed[1] << 16) | (sealed[2] << 8) | sealed[3]);
        EXPECT_EQ(6, sealed[4]);

        Variant back;
        ASSERT_EQ(S_OK, receiver->DecryptEx(*envelope, back.get()));
        EXPECT_EQ(plain, ReadByteArray(*back)) << count;
    }
}

TEST(Crypter, DecryptExOfOneToEightBytesFails)
{
    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter, L"key");
    for (std::size_t count = 1; count <= 8; ++count) {
        Variant in;
        const std::vector<std::uint8_t> header = {0, 0, 0, 0, 6, 4, 0, 0};
        MakeByteArray(in.get(), std::vector<std::uint8_t>(header.begin(), header.begin() + count));
        Variant out;
        MakeSentinel(out.get());
        EXPECT_EQ(E_CRYPTER_DECRYPT_FAILED, crypter->DecryptEx(*in, out.get())) << count;
        ExpectSentinel(*out);
        ExpectReported(L"Cannot decrypt data.");
    }
}

TEST(Crypter, DecryptExWithAnotherKeyOrDamageFails)
{
    ComPtr<ICrypter> sender;
    MakeCrypter(sender, L"one key");
    ComPtr<ICrypter> stranger;
    MakeCrypter(stranger, L"another key");
    Variant in;
    MakeByteArray(in.get(), Sequence(30));
    Variant envelope;
    ASSERT_EQ(S_OK, sender->EncryptEx(*in, envelope.get()));

    Variant out;
    EXPECT_EQ(E_CRYPTER_DECRYPT_FAILED, stranger->DecryptEx(*envelope, out.get()));
    ExpectReported(L"Cannot decrypt data.");

    std::vector<std::uint8_t> damaged = ReadByteArray(*envelope);
    damaged.back() ^= 0x01;
    Variant tampered;
    MakeByteArray(tampered.get(), damaged);
    EXPECT_EQ(E_CRYPTER_DECRYPT_FAILED, sender->DecryptEx(*tampered, out.get()));
    ExpectReported(L"Cannot decrypt data.");
}

// An envelope of another block length re-schedules the object's key, and its
// later envelopes carry that block length until the next SetKey.
TEST(Crypter, BlockLengthFollowsTheLastDecryptedEnvelope)
{
    const std::vector<std::uint8_t> plain = Sequence(40);
    for (std::int32_t nb : {4, 8}) {
        RijndaelKey key;
        key.SetKeyText("block length key");
        ASSERT_EQ(0, key.BuildSchedule(nb));
        EnvelopeCodec codec;
        codec.BindKey(key);
        const Buffer foreign = codec.EncryptEnvelope(plain.data(), static_cast<std::int32_t>(plain.size()));
        ASSERT_TRUE(foreign);

        ComPtr<ICrypter> crypter;
        MakeCrypter(crypter, L"block length key");
        Variant in;
        MakeByteArray(in.get(), std::vector<std::uint8_t>(foreign.begin(), foreign.end()));
        Variant out;
        ASSERT_EQ(S_OK, crypter->DecryptEx(*in, out.get()));
        EXPECT_EQ(plain, ReadByteArray(*out));

        Variant again;
        MakeByteArray(again.get(), plain);
        Variant envelope;
        ASSERT_EQ(S_OK, crypter->EncryptEx(*again, envelope.get()));
        EXPECT_EQ(nb, ReadByteArray(*envelope)[4]);

        ASSERT_EQ(S_OK, crypter->SetKey(Bstr(L"block length key").get()));
        Variant afterSetKey;
        ASSERT_EQ(S_OK, crypter->EncryptEx(*again, afterSetKey.get()));
        EXPECT_EQ(6, ReadByteArray(*afterSetKey)[4]);
    }
}

}  // namespace
}  // namespace zarnocrypt::test
