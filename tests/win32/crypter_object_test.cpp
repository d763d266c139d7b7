// The object's COM identity, its error-info support and its null-pointer guards.
#include "crypter_test_support.h"

namespace zarnocrypt::test {
namespace {

LONG liveObjects = 0;

void CountLiveObjects(LONG delta) noexcept
{
    liveObjects += delta;
}

TEST(CrypterObject, InterfacesShareOneIdentity)
{
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(S_OK, CreateCrypter(IID_IUnknown, unknown.out()));
    ComPtr<IDispatch> dispatch;
    ComPtr<ICrypter> crypter;
    ComPtr<ISupportErrorInfo> errorSupport;
    ComPtr<IUnknown> unknownAgain;
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IDispatch, dispatch.out()));
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_ICrypter, crypter.out()));
    ASSERT_EQ(S_OK, crypter->QueryInterface(IID_ISupportErrorInfo, errorSupport.out()));
    ASSERT_EQ(S_OK, errorSupport->QueryInterface(IID_IUnknown, unknownAgain.out()));

    EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(dispatch.get()));
    EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(crypter.get()));
    EXPECT_EQ(unknown.get(), unknownAgain.get());
    EXPECT_NE(static_cast<void*>(unknown.get()), static_cast<void*>(errorSupport.get()));
}

TEST(CrypterObject, UnknownInterfacesAreRefusedWithNullResult)
{
    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter);
    void* result = &result;
    EXPECT_EQ(E_NOINTERFACE, crypter->QueryInterface(IID_IClassFactory, &result));
    EXPECT_EQ(nullptr, result);
    EXPECT_EQ(E_POINTER, crypter->QueryInterface(IID_ICrypter, nullptr));

    result = &result;
    EXPECT_EQ(E_NOINTERFACE, CreateCrypter(IID_IClassFactory, &result));
    EXPECT_EQ(nullptr, result);
    EXPECT_EQ(E_POINTER, CreateCrypter(IID_ICrypter, nullptr));
}

TEST(CrypterObject, CountHookSeesEveryObjectMadeAndDestroyed)
{
    SetObjectCountHook(CountLiveObjects);
    {
        ComPtr<ICrypter> first;
        MakeCrypter(first, L"key");
        ComPtr<ICrypter> second;
        MakeCrypter(second);
        EXPECT_EQ(2, liveObjects);
        void* refused = nullptr;
        CreateCrypter(IID_IClassFactory, &refused);  // made and destroyed again
        EXPECT_EQ(2, liveObjects);
    }
    EXPECT_EQ(0, liveObjects);
    SetObjectCountHook(nullptr);
}

TEST(CrypterObject, OnlyICrypterSupportsErrorInfo)
{
    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter);
    ComPtr<ISupportErrorInfo> errorSupport;
    ASSERT_EQ(S_OK, crypter->QueryInterface(IID_ISupportErrorInfo, errorSupport.out()));
    EXPECT_EQ(S_OK, errorSupport->InterfaceSupportsErrorInfo(IID_ICrypter));
    EXPECT_EQ(S_FALSE, errorSupport->InterfaceSupportsErrorInfo(IID_IDispatch));
    EXPECT_EQ(S_FALSE, errorSupport->InterfaceSupportsErrorInfo(IID_IUnknown));
}

TEST(CrypterObject, VersionString)
{
    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter);
    Bstr version;
    EXPECT_EQ(S_OK, crypter->GetVersionString(version.out()));
    EXPECT_EQ(L"v2.1", version.text());
}

// A null result pointer is refused instead of written through.
TEST(CrypterObject, NullResultPointersAreRefused)
{
    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter, L"key");
    Bstr text(L"abc");
    Variant bytes;
    MakeByteArray(bytes.get(), {1, 2, 3});
    EXPECT_EQ(E_POINTER, crypter->Encrypt(text.get(), nullptr));
    EXPECT_EQ(E_POINTER, crypter->HtmlEncrypt(text.get(), nullptr));
    EXPECT_EQ(E_POINTER, crypter->MultilineEncrypt(text.get(), nullptr));
    EXPECT_EQ(E_POINTER, crypter->Decrypt(text.get(), nullptr));
    EXPECT_EQ(E_POINTER, crypter->GetVersionString(nullptr));
    EXPECT_EQ(E_POINTER, crypter->EncryptEx(*bytes, nullptr));
    EXPECT_EQ(E_POINTER, crypter->DecryptEx(*bytes, nullptr));
}

// A successful call neither sets nor clears the thread's error info.
TEST(CrypterObject, SuccessLeavesErrorInfoAlone)
{
    ICreateErrorInfo* creator = nullptr;
    ASSERT_EQ(S_OK, CreateErrorInfo(&creator));
    creator->SetDescription(const_cast<LPOLESTR>(L"earlier"));
    IErrorInfo* earlier = nullptr;
    ASSERT_EQ(S_OK, creator->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&earlier)));
    creator->Release();
    SetErrorInfo(0, earlier);
    earlier->Release();

    ComPtr<ICrypter> crypter;
    MakeCrypter(crypter, L"key");
    Bstr text(L"abc");
    Bstr out;
    ASSERT_EQ(S_OK, crypter->Encrypt(text.get(), out.out()));
    EXPECT_EQ(L"earlier", TakeErrorInfo().description);
}

}  // namespace
}  // namespace zarnocrypt::test
