// The object's COM identity, its error-info support and its object count.
// Null result pointers and the error info of successful calls are in the
// boundary suite.
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
    ComPtr<IUnknown> unknown, unknownAgain;
    ASSERT_EQ(S_OK, CreateCrypter(IID_IUnknown, unknown.out()));
    ComPtr<IDispatch> dispatch;
    ComPtr<ICrypter> crypter;
    ComPtr<ISupportErrorInfo> errorSupport;
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IDispatch, dispatch.out()));
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_ICrypter, crypter.out()));
    ASSERT_EQ(S_OK, crypter->QueryInterface(IID_ISupportErrorInfo, errorSupport.out()));
    ASSERT_EQ(S_OK, errorSupport->QueryInterface(IID_IUnknown, unknownAgain.out()));

    EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(dispatch.get()));
    EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(crypter.get()));
    EXPECT_EQ(unknown.get(), unknownAgain.get());
    EXPECT_NE(static_cast<void*>(unknown.get()), static_cast<void*>(errorSupport.get()));

    EXPECT_EQ(S_OK, errorSupport->InterfaceSupportsErrorInfo(IID_ICrypter));
    EXPECT_EQ(S_FALSE, errorSupport->InterfaceSupportsErrorInfo(IID_IDispatch));
    EXPECT_EQ(S_FALSE, errorSupport->InterfaceSupportsErrorInfo(IID_IUnknown));
}

TEST(CrypterObject, UnknownInterfacesAreRefusedWithNullResult)
{
    ComPtr<ICrypter> crypter = KeyedCrypter();
    void* result = &result;
    EXPECT_EQ(E_NOINTERFACE, crypter->QueryInterface(IID_IClassFactory, &result));
    EXPECT_EQ(nullptr, result);
    EXPECT_EQ(E_POINTER, crypter->QueryInterface(IID_ICrypter, nullptr));

    result = &result;
    EXPECT_EQ(E_NOINTERFACE, CreateCrypter(IID_IClassFactory, &result));
    EXPECT_EQ(nullptr, result);
    EXPECT_EQ(E_POINTER, CreateCrypter(IID_ICrypter, nullptr));
}

// The boundary suite's leak checks rest on this hook.
TEST(CrypterObject, CountHookSeesEveryObjectMadeAndDestroyed)
{
    SetObjectCountHook(CountLiveObjects);
    {
        ComPtr<ICrypter> first = KeyedCrypter(L"key"), second = KeyedCrypter();
        EXPECT_EQ(2, liveObjects);
        void* refused = nullptr;
        CreateCrypter(IID_IClassFactory, &refused);  // made and destroyed again
        EXPECT_EQ(2, liveObjects);
    }
    EXPECT_EQ(0, liveObjects);
    SetObjectCountHook(nullptr);
}

TEST(CrypterObject, VersionString)
{
    Bstr version;
    EXPECT_EQ(S_OK, KeyedCrypter()->GetVersionString(version.out()));
    EXPECT_EQ(L"v2.1", version.text());
}

}  // namespace
}  // namespace zarnocrypt::test
