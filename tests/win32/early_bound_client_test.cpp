// A compiled client of the registered component: the generated header and
// GUIDs, CoCreateInstance, and every method through the virtual table.
#include "crypter_test_support.h"

namespace zarnocrypt::test {
namespace {

class EarlyBoundClient : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));  // S_FALSE when the program already did
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Crypter, nullptr, CLSCTX_INPROC_SERVER, IID_ICrypter,
                                         reinterpret_cast<void**>(&crypter_)));
    }
    void TearDown() override
    {
        if (crypter_ != nullptr)
            crypter_->Release();
        CoUninitialize();
    }

    ICrypter* crypter_ = nullptr;
};

TEST_F(EarlyBoundClient, EveryMethodThroughTheInterface)
{
    Bstr version;
    ASSERT_EQ(S_OK, crypter_->GetVersionString(version.out()));
    EXPECT_EQ(L"v2.1", version.text());

    Bstr plain(L"early bound");
    Bstr marked;
    EXPECT_EQ(static_cast<HRESULT>(0x80040197), crypter_->Encrypt(plain.get(), marked.out()));
    ExpectReported(L"Key has not been set.");

    Bstr key(L"compiled client");
    ASSERT_EQ(S_OK, crypter_->SetKey(key.get()));
    using Method = HRESULT (STDMETHODCALLTYPE ICrypter::*)(BSTR, BSTR*);
    for (Method method : {&ICrypter::Encrypt, &ICrypter::HtmlEncrypt, &ICrypter::MultilineEncrypt}) {
        ASSERT_EQ(S_OK, (crypter_->*method)(plain.get(), marked.out()));
        EXPECT_EQ(0u, marked.text().find(L"[ZQV]X"));
        Bstr back;
        ASSERT_EQ(S_OK, crypter_->Decrypt(marked.get(), back.out()));
        EXPECT_EQ(L"early bound", back.text());
    }

    Variant input;
    MakeByteArray(input.get(), {1, 2, 3, 0xff});
    Variant envelope;
    ASSERT_EQ(S_OK, crypter_->EncryptEx(*input, envelope.get()));
    EXPECT_EQ(32u, ReadByteArray(*envelope).size());  // header and one 24-byte block
    Variant back;
    ASSERT_EQ(S_OK, crypter_->DecryptEx(*envelope, back.get()));
    EXPECT_EQ((std::vector<std::uint8_t>{1, 2, 3, 0xff}), ReadByteArray(*back));
}

}  // namespace
}  // namespace zarnocrypt::test
