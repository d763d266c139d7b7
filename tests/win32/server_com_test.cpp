// The built DLL as COM clients meet it: its exports and unload rule, the
// cached class object, creation and aggregation, object identity, a
// compiled client through the virtual table, IDispatch served from the
// registered type library, the type library's layout and the version resource.
#include "com_support.h"
#include "server_dll.h"

namespace zarnocrypt::test {
namespace {

class ComApartment : public testing::Environment {
    void SetUp() override { ASSERT_EQ(S_OK, CoInitialize(nullptr)); }
    void TearDown() override { CoUninitialize(); }
};
const auto* const apartment = testing::AddGlobalTestEnvironment(new ComApartment);

// An outer object that counts the references reaching it.
struct Outer final : IUnknown {
    IUnknown* inner = nullptr;
    ULONG references = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!IsEqualIID(riid, IID_IUnknown))
            return inner->QueryInterface(riid, ppv);
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
};

TEST(ServerDll, ClassObjectCreationAndUnloadRule)
{
    ServerDll dll;
    ASSERT_TRUE(dll.canUnloadNow && dll.getClassObject && dll.registerServer);
    EXPECT_EQ(S_OK, dll.canUnloadNow());
    void* result = &result;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, dll.getClassObject(IID_ICrypter, IID_IClassFactory, &result));
    EXPECT_EQ(nullptr, result);

    // Outside references to the one cached class object count once.
    IClassFactory* factory = dll.Factory();
    IClassFactory* again = dll.Factory();
    EXPECT_EQ(factory, again);
    again->Release();
    EXPECT_EQ(S_FALSE, dll.canUnloadNow());
    factory->Release();
    EXPECT_EQ(S_OK, dll.canUnloadNow());

    factory = dll.Factory();
    Outer outer;
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_ICrypter, nullptr));
    for (const auto& [unknown, riid, expected] : {std::tuple{&outer, &IID_ICrypter, CLASS_E_NOAGGREGATION},
                                                  std::tuple{(Outer*)nullptr, &IID_IClassFactory, E_NOINTERFACE}}) {
        result = &result;
        EXPECT_EQ(expected, factory->CreateInstance(unknown, *riid, &result));
        EXPECT_EQ(nullptr, result);
    }
    // An object, an aggregated object and a server lock each keep the DLL loaded.
    ICrypter* crypter = nullptr;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ICrypter, reinterpret_cast<void**>(&crypter)));
    ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory->Release();
    crypter->Release();
    EXPECT_EQ(1u, outer.references);  // the inner object holds no reference on its owner
    ICrypter* delegating = nullptr;
    ASSERT_EQ(S_OK, outer.inner->QueryInterface(IID_ICrypter, reinterpret_cast<void**>(&delegating)));
    EXPECT_NE(static_cast<void*>(outer.inner), static_cast<void*>(delegating));
    EXPECT_EQ(2u, outer.references);
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, delegating->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
    identity->Release();
    delegating->Release();
    EXPECT_EQ(1u, outer.references);
    EXPECT_EQ(0u, outer.inner->Release());
    EXPECT_EQ(S_FALSE, dll.canUnloadNow());  // the lock
    factory = dll.Factory();
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory->Release();
    EXPECT_EQ(S_OK, dll.canUnloadNow());
}

// A compiled client: ProgIDs, one identity, error-info support, every kind of call.
TEST(ServerCom, EarlyBoundClient)
{
    CLSID clsid{}, versioned{};
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Zarnocrypt.Crypter", &clsid));
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Zarnocrypt.Crypter.1", &versioned));
    EXPECT_TRUE(IsEqualCLSID(CLSID_Crypter, clsid) && IsEqualCLSID(CLSID_Crypter, versioned));
    ComPtr<IUnknown> unknown, again;
    ComPtr<IDispatch> dispatch;
    ComPtr<ICrypter> crypter;
    ComPtr<ISupportErrorInfo> errorSupport;
    ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unknown.out()));
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IDispatch, dispatch.out()));
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_ICrypter, crypter.out()));
    ASSERT_EQ(S_OK, dispatch->QueryInterface(IID_ISupportErrorInfo, errorSupport.out()));
    ASSERT_EQ(S_OK, errorSupport->QueryInterface(IID_IUnknown, again.out()));
    EXPECT_TRUE(unknown.get() == again.get() && (void*)unknown.get() == dispatch.get() &&
                (void*)unknown.get() == crypter.get() && (void*)unknown.get() != errorSupport.get());
    EXPECT_EQ(S_OK, errorSupport->InterfaceSupportsErrorInfo(IID_ICrypter));
    EXPECT_EQ(S_FALSE, errorSupport->InterfaceSupportsErrorInfo(IID_IDispatch));
    void* refused = &refused;
    EXPECT_EQ(E_NOINTERFACE, crypter->QueryInterface(IID_IClassFactory, &refused));
    EXPECT_EQ(nullptr, refused);

    Bstr version, plain(L"early bound"), marked, back;
    ASSERT_EQ(S_OK, crypter->GetVersionString(version.out()));
    EXPECT_EQ(ZARNOCRYPT_VERSION_STRING, version.text());
    EXPECT_EQ(HRESULT(0x80040197), crypter->Encrypt(plain.get(), marked.out()));
    EXPECT_EQ(L"Key has not been set.", ErrorRecord::Take().description);
    ASSERT_EQ(S_OK, crypter->SetKey(Bstr(L"compiled client").get()));
    ASSERT_EQ(S_OK, crypter->MultilineEncrypt(plain.get(), marked.out()));
    ASSERT_EQ(S_OK, crypter->Decrypt(marked.get(), back.out()));
    EXPECT_EQ(plain.text(), back.text());
}

TEST(ServerCom, VersionResourceMarksItSelfRegistering)
{
    const std::wstring path = ServerPath();
    std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), nullptr));
    ASSERT_TRUE(!block.empty() && GetFileVersionInfoW(path.c_str(), 0, DWORD(block.size()), block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_TRUE(fixed->dwFileVersionMS == MAKELONG(0, 1) && fixed->dwFileVersionLS == MAKELONG(1, 0));
    for (const auto& [name, expected] : {std::pair{L"FileVersion", L"1, 0, 0, 1"}, {L"ProductVersion", L"1, 0, 0, 1"},
                                         {L"FileDescription", L"Zarnocrypt Module"}, {L"ProductName", L"Zarnocrypt Module"},
                                         {L"InternalName", L"Zarnocrypt"}, {L"OriginalFilename", L"Zarnocrypt.DLL"},
                                         {L"OLESelfRegister", L""}}) {
        void* value = nullptr;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        ASSERT_TRUE(VerQueryValueW(block.data(), key.c_str(), &value, &length)) << std::string(key.begin(), key.end());
        EXPECT_EQ(std::wstring(expected), static_cast<const wchar_t*>(value));
    }
}

}  // namespace
}  // namespace zarnocrypt::test
