// The built DLL as COM clients meet it: its exports and unload rule, the
// cached class object, creation and aggregation, object identity, a
// compiled client through the virtual table and the version resource.
// "server_tests report" is the client that side_by_side.cmake runs in each
// registry view.
#include <algorithm>
#include <cstdio>
#include <string_view>

#include "com_support.h"

namespace zarnocrypt::test {
namespace {

// An outer object that counts the references reaching it.
struct Outer final : IUnknown {
    IUnknown* inner = nullptr;
    ULONG references = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        return IsEqualIID(riid, IID_IUnknown) ? (*ppv = this, AddRef(), S_OK) : inner->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
};

TEST(ServerDll, ClassObjectCreationAndUnloadRule)
{
    const HMODULE dll = LoadLibraryW(ServerPath().c_str());
    const auto canUnloadNow = Export<HRESULT(STDAPICALLTYPE*)()>(dll, "DllCanUnloadNow");
    const auto getClassObject = Export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(dll, "DllGetClassObject");
    ASSERT_TRUE(canUnloadNow && getClassObject && GetProcAddress(dll, "DllRegisterServer"));
    const auto factory = [&] {
        IClassFactory* object = nullptr;
        EXPECT_EQ(S_OK, getClassObject(CLSID_Crypter, IID_IClassFactory, reinterpret_cast<void**>(&object)));
        return object;
    };
    EXPECT_EQ(S_OK, canUnloadNow());
    void* result = &result;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(IID_ICrypter, IID_IClassFactory, &result));
    EXPECT_EQ(nullptr, result);

    // Outside references to the one cached class object count once.
    IClassFactory* cached = factory();
    IClassFactory* again = factory();
    EXPECT_EQ(cached, again);
    again->Release();
    EXPECT_EQ(S_FALSE, canUnloadNow());
    cached->Release();
    EXPECT_EQ(S_OK, canUnloadNow());

    cached = factory();
    Outer outer;
    EXPECT_EQ(E_POINTER, cached->CreateInstance(nullptr, IID_ICrypter, nullptr));
    for (const auto& [unknown, riid, expected] : {std::tuple{&outer, &IID_ICrypter, CLASS_E_NOAGGREGATION},
                                                  std::tuple{(Outer*)nullptr, &IID_IClassFactory, E_NOINTERFACE}}) {
        result = &result;
        EXPECT_EQ(expected, cached->CreateInstance(unknown, *riid, &result));
        EXPECT_EQ(nullptr, result);
    }
    // An object, an aggregated object and a server lock each keep the DLL loaded.
    ICrypter* crypter = nullptr;
    ASSERT_EQ(S_OK, cached->CreateInstance(nullptr, IID_ICrypter, reinterpret_cast<void**>(&crypter)));
    ASSERT_EQ(S_OK, cached->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)));
    EXPECT_EQ(S_OK, cached->LockServer(TRUE));
    cached->Release();
    crypter->Release();
    EXPECT_EQ(1u, outer.references);  // the inner object holds no reference on its owner
    ICrypter* delegating = nullptr;
    ASSERT_EQ(S_OK, outer.inner->QueryInterface(IID_ICrypter, reinterpret_cast<void**>(&delegating)));
    EXPECT_NE(static_cast<void*>(outer.inner), static_cast<void*>(delegating));
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, delegating->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
    EXPECT_EQ(3u, outer.references);
    identity->Release();
    delegating->Release();
    EXPECT_EQ(1u, outer.references);
    EXPECT_EQ(0u, outer.inner->Release());
    EXPECT_EQ(S_FALSE, canUnloadNow());  // the lock
    cached = factory();
    EXPECT_EQ(S_OK, cached->LockServer(FALSE));
    cached->Release();
    EXPECT_EQ(S_OK, canUnloadNow());
    FreeLibrary(dll);
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
    EXPECT_EQ(L"Zarnocrypt.Crypter|Key has not been set.", TakeErrorRecord());
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
        EXPECT_TRUE(VerQueryValueW(block.data(), key.c_str(), &value, &length) &&
                    std::wstring(expected) == static_cast<const wchar_t*>(value)) << std::string(key.begin(), key.end());
    }
}

// The module the system loaded for this view's registration, the version read
// through IDispatch (this view's type library) and a text sealed through the
// virtual table, which every word size must seal alike.
int Report()
{
    ComPtr<ICrypter> crypter;
    HRESULT result = CoCreateInstance(CLSID_Crypter, nullptr, CLSCTX_INPROC_SERVER, IID_ICrypter, crypter.out());
    char module[MAX_PATH] = "(none)";
    GetModuleFileNameA(GetModuleHandleA("Zarnocrypt.dll"), module, MAX_PATH);
    LPOLESTR name = const_cast<LPOLESTR>(L"GetVersionString");
    DISPID id = 0;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    Variant version;
    Bstr plain(std::wstring(145, L'z')), marked;
    if (SUCCEEDED(result))
        result = crypter->GetIDsOfNames(IID_NULL, &name, 1, 0, &id);
    if (SUCCEEDED(result))
        result = crypter->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, &version, nullptr, nullptr);
    if (SUCCEEDED(result) && SUCCEEDED(result = crypter->SetKey(Bstr(L"side by side").get())))
        result = crypter->Encrypt(plain.get(), marked.out());
    if (FAILED(result))
        return std::printf("error %08lx\n", static_cast<unsigned long>(result)), 0;
    std::wstring text = marked.text();
    std::replace(text.begin(), text.end(), L'\n', L' ');
    std::printf("module=%s version=%ls marked=%ls\n", module, version.bstrVal, text.c_str());
    return 0;
}

}  // namespace
}  // namespace zarnocrypt::test

int main(int argc, char** argv)
{
    CoInitialize(nullptr);
    if (argc == 2 && argv[1] == std::string_view("report"))
        return zarnocrypt::test::Report();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
