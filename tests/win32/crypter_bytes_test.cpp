// EncryptEx and DecryptEx: the shape of the results, and the envelope's block
// length as the object follows it. Inputs without bytes, and envelopes cut or
// changed, are in the boundary suite.
#include "crypter_test_support.h"

#include "crypter_errors.h"
#include "envelope.h"
#include "rijndael_key.h"

namespace zarnocrypt::test {
namespace {

std::vector<std::uint8_t> Sequence(std::size_t count)
{
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 37 + 200);  // crosses the signed boundary
    return bytes;
}

// The key is tested first, and the result stays as it was.
TEST(Crypter, ByteMethodsWithoutKeyFailFirstWhateverTheInput)
{
    ComPtr<ICrypter> crypter = KeyedCrypter();
    Variant bytes, empty;
    MakeByteArray(bytes.get(), {1, 2, 3});
    for (VariantMethod method : {&ICrypter::EncryptEx, &ICrypter::DecryptEx}) {
        for (VARIANT* input : {bytes.get(), empty.get()}) {
            VARIANT out;
            out.vt = VT_I4;
            out.lVal = 0x5A5A5A5A;
            EXPECT_EQ(E_CRYPTER_KEY_NOT_SET, (crypter.get()->*method)(*input, &out));
            EXPECT_EQ(VT_I4, out.vt);
            EXPECT_EQ(0x5A5A5A5A, out.lVal);
            ExpectReported(L"Key has not been set.");
        }
    }
}

// Lower bound 5 in, lower bound 0 out; an 8-byte header, then whole 24-byte
// blocks holding the bytes and the 3-byte magic.
TEST(Crypter, ByteArraysRoundTripWithLowerBoundZero)
{
    ComPtr<ICrypter> sender = KeyedCrypter(L"byte key"), receiver = KeyedCrypter(L"byte key");
    for (std::size_t count : {1u, 20u, 21u, 22u, 45u, 1000u}) {
        const std::vector<std::uint8_t> plain = Sequence(count);
        const std::vector<std::uint8_t> sealed = CallBytes(sender.get(), &ICrypter::EncryptEx, plain, 5);
        ASSERT_EQ(8 + 24 * ((count + 3 + 23) / 24), sealed.size());
        EXPECT_EQ(count, (std::size_t{sealed[0]} << 24) | (sealed[1] << 16) | (sealed[2] << 8) | sealed[3]);
        EXPECT_EQ(6, sealed[4]);
        EXPECT_EQ(plain, CallBytes(receiver.get(), &ICrypter::DecryptEx, sealed)) << count;
    }
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

        ComPtr<ICrypter> crypter = KeyedCrypter(L"block length key");
        EXPECT_EQ(plain, CallBytes(crypter.get(), &ICrypter::DecryptEx, {foreign.begin(), foreign.end()}));
        EXPECT_EQ(nb, CallBytes(crypter.get(), &ICrypter::EncryptEx, plain)[4]);
        ASSERT_EQ(S_OK, crypter->SetKey(Bstr(L"block length key").get()));
        EXPECT_EQ(6, CallBytes(crypter.get(), &ICrypter::EncryptEx, plain)[4]);
    }
}

}  // namespace
}  // namespace zarnocrypt::test
