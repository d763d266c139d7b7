// The registered DLL through COM: its exports and unload rule, object
// identity, and IDispatch served from the registered type library.
#include "crypter_test_support.h"
#include "server_test_support.h"

namespace zarnocrypt::test {
namespace {

class ComApartment : public testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(S_OK, CoInitialize(nullptr)); }
    void TearDown() override { CoUninitialize(); }
};
const testing::Environment* const apartment = testing::AddGlobalTestEnvironment(new ComApartment);

// The DLL loaded by its path, its exports looked up by their plain names.
class ServerDll {
public:
    ServerDll() : module_(LoadLibraryW(ServerPath().c_str()))
    {
        EXPECT_NE(nullptr, module_);
        canUnloadNow = Export<decltype(canUnloadNow)>("DllCanUnloadNow");
        getClassObject = Export<decltype(getClassObject)>("DllGetClassObject");
        registerServer = Export<decltype(registerServer)>("DllRegisterServer");
    }
    ServerDll(const ServerDll&) = delete;
    ServerDll& operator=(const ServerDll&) = delete;
    ~ServerDll() { FreeLibrary(module_); }

    HRESULT (STDAPICALLTYPE* canUnloadNow)() = nullptr;
    HRESULT (STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT (STDAPICALLTYPE* registerServer)() = nullptr;

private:
    template <typename Function>
    Function Export(const char* name)
    {
        const FARPROC address = module_ ? GetProcAddress(module_, name) : nullptr;
        EXPECT_NE(nullptr, address) << name;
        return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
    }

    HMODULE module_;
};

void CreateRegistered(ComPtr<ICrypter>& crypter)
{
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Crypter, nullptr, CLSCTX_INPROC_SERVER, IID_ICrypter, crypter.out()));
}

TEST(ServerDll, CanUnloadOnlyWithoutObjectsLocksOrOutsideReferences)
{
    ServerDll dll;
    ASSERT_NE(nullptr, dll.getClassObject);
    EXPECT_EQ(S_OK, dll.canUnloadNow());
    IClassFactory* first = nullptr;
    IClassFactory* second = nullptr;
    ASSERT_EQ(S_OK, dll.getClassObject(CLSID_Crypter, IID_IClassFactory, reinterpret_cast<void**>(&first)));
    EXPECT_EQ(S_FALSE, dll.canUnloadNow());
    ASSERT_EQ(S_OK, dll.getClassObject(CLSID_Crypter, IID_IClassFactory, reinterpret_cast<void**>(&second)));
    EXPECT_EQ(first, second);
    second->Release();
    EXPECT_EQ(S_FALSE, dll.canUnloadNow());  // one outside reference left
    first->Release();
    EXPECT_EQ(S_OK, dll.canUnloadNow());  // fetched and released

    ASSERT_EQ(S_OK, dll.getClassObject(CLSID_Crypter, IID_IClassFactory, reinterpret_cast<void**>(&first)));
    ICrypter* crypter = nullptr;
    ASSERT_EQ(S_OK, first->CreateInstance(nullptr, IID_ICrypter, reinterpret_cast<void**>(&crypter)));
    EXPECT_EQ(S_OK, first->LockServer(TRUE));
    first->Release();
    EXPECT_EQ(S_FALSE, dll.canUnloadNow());  // the object and the lock
    crypter->Release();
    EXPECT_EQ(S_FALSE, dll.canUnloadNow());  // the lock
    ASSERT_EQ(S_OK, dll.getClassObject(CLSID_Crypter, IID_IClassFactory, reinterpret_cast<void**>(&first)));
    EXPECT_EQ(S_OK, first->LockServer(FALSE));
    first->Release();
    EXPECT_EQ(S_OK, dll.canUnloadNow());
}

TEST(ServerDll, OtherClassesAreNotAvailable)
{
    ServerDll dll;
    ASSERT_NE(nullptr, dll.getClassObject);
    void* result = &result;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, dll.getClassObject(IID_ICrypter, IID_IClassFactory, &result));
    EXPECT_EQ(nullptr, result);
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              CoCreateInstance(IID_ICrypter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &result));
}

std::wstring VersionString(const std::vector<BYTE>& block, const wchar_t* name)
{
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || value == nullptr)
        return L"(missing)";
    return static_cast<const wchar_t*>(value);
}

TEST(ServerDll, VersionResourceMarksItSelfRegistering)
{
    const std::wstring path = ServerPath();
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(MAKELONG(0, 1), fixed->dwFileVersionMS);
    EXPECT_EQ(MAKELONG(1, 0), fixed->dwFileVersionLS);
    EXPECT_EQ(L"1, 0, 0, 1", VersionString(block, L"FileVersion"));
    EXPECT_EQ(L"1, 0, 0, 1", VersionString(block, L"ProductVersion"));
    EXPECT_EQ(L"Zarnocrypt Module", VersionString(block, L"FileDescription"));
    EXPECT_EQ(L"Zarnocrypt Module", VersionString(block, L"ProductName"));
    EXPECT_EQ(L"Zarnocrypt", VersionString(block, L"InternalName"));
    EXPECT_EQ(L"Zarnocrypt.DLL", VersionString(block, L"OriginalFilename"));
    EXPECT_EQ(L"", VersionString(block, L"OLESelfRegister"));
}

TEST(ServerCom, CreatedByProgIdWithOneIdentity)
{
    CLSID clsid{};
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Zarnocrypt.Crypter", &clsid));
    EXPECT_TRUE(IsEqualCLSID(CLSID_Crypter, clsid));
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Zarnocrypt.Crypter.1", &clsid));
    EXPECT_TRUE(IsEqualCLSID(CLSID_Crypter, clsid));

    ComPtr<IUnknown> unknown;
    ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unknown.out()));
    ComPtr<IDispatch> dispatch;
    ComPtr<ICrypter> crypter;
    ComPtr<ISupportErrorInfo> errorSupport;
    ComPtr<IUnknown> again;
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IDispatch, dispatch.out()));
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_ICrypter, crypter.out()));
    ASSERT_EQ(S_OK, dispatch->QueryInterface(IID_ISupportErrorInfo, errorSupport.out()));
    ASSERT_EQ(S_OK, errorSupport->QueryInterface(IID_IUnknown, again.out()));
    EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(dispatch.get()));
    EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(crypter.get()));
    EXPECT_EQ(unknown.get(), again.get());
    EXPECT_NE(static_cast<void*>(unknown.get()), static_cast<void*>(errorSupport.get()));
}

// An outer object that counts what reaches it.
class Outer final : public IUnknown {
public:
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

    IUnknown* inner = nullptr;
    ULONG references = 1;
};

TEST(ServerCom, AggregationThroughCoCreateInstance)
{
    Outer outer;
    void* refused = &refused;
    EXPECT_EQ(CLASS_E_NOAGGREGATION,
              CoCreateInstance(CLSID_Crypter, &outer, CLSCTX_INPROC_SERVER, IID_ICrypter, &refused));
    EXPECT_EQ(nullptr, refused);
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Crypter, &outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     reinterpret_cast<void**>(&outer.inner)));
    ICrypter* crypter = nullptr;
    ASSERT_EQ(S_OK, outer.QueryInterface(IID_ICrypter, reinterpret_cast<void**>(&crypter)));
    EXPECT_EQ(2u, outer.references);
    crypter->AddRef();
    EXPECT_EQ(3u, outer.references);
    EXPECT_EQ(2u, crypter->Release());
    Bstr version;
    EXPECT_EQ(S_OK, crypter->GetVersionString(version.out()));
    EXPECT_EQ(L"v2.1", version.text());
    crypter->Release();
    EXPECT_EQ(1u, outer.references);
    EXPECT_EQ(0u, outer.inner->Release());
}

class Dispatch : public testing::Test {
protected:
    void SetUp() override { CreateRegistered(crypter_); }

    HRESULT IdOf(const wchar_t* name, DISPID& id)
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        return crypter_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    }

    ComPtr<ICrypter> crypter_;
};

TEST_F(Dispatch, NamesInExactAndOtherSpelling)
{
    struct Case {
        const wchar_t* name;
        DISPID id;
    };
    const Case cases[] = {
        {L"Encrypt", 1}, {L"encrypt", 1}, {L"ENCRYPT", 1}, {L"Decrypt", 2}, {L"setkey", 3},
        {L"GetVersionString", 4}, {L"EncryptEx", 5}, {L"decryptex", 6}, {L"HtmlEncrypt", 7},
        {L"multilineencrypt", 8},
    };
    for (const Case& c : cases) {
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(S_OK, IdOf(c.name, id)) << static_cast<const void*>(c.name);
        EXPECT_EQ(c.id, id);
    }
    DISPID id = 0;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, IdOf(L"Scramble", id));
}

// Each name is a member name of its own: a parameter name after the method
// is unknown, and the DISPIDs before the first unknown name stay written.
TEST_F(Dispatch, NamesResolveOneAtATimeAndStopAtTheFirstUnknown)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Decrypt"), const_cast<LPOLESTR>(L"setKey"),
                        const_cast<LPOLESTR>(L"strInput"), const_cast<LPOLESTR>(L"Encrypt")};
    DISPID ids[4] = {0, 0, 0, 77};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, crypter_->GetIDsOfNames(IID_NULL, names, 4, 0, ids));
    EXPECT_EQ(2, ids[0]);
    EXPECT_EQ(3, ids[1]);
    EXPECT_EQ(77, ids[3]);
    EXPECT_EQ(S_OK, crypter_->GetIDsOfNames(IID_NULL, names, 2, 0, ids));
}

TEST_F(Dispatch, TypeInformation)
{
    UINT count = 0;
    EXPECT_EQ(S_OK, crypter_->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(E_POINTER, crypter_->GetTypeInfoCount(nullptr));
    EXPECT_EQ(E_POINTER, crypter_->GetTypeInfo(0, 0, nullptr));

    ComPtr<ITypeInfo> first;
    ComPtr<ITypeInfo> fifth;
    ASSERT_EQ(S_OK, crypter_->GetTypeInfo(0, 0, first.typed_out()));
    ASSERT_EQ(S_OK, crypter_->GetTypeInfo(5, 0, fifth.typed_out()));
    EXPECT_EQ(first.get(), fifth.get());
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, first->GetTypeAttr(&attributes));
    EXPECT_TRUE(IsEqualGUID(IID_ICrypter, attributes->guid));
    first->ReleaseTypeAttr(attributes);
}

TEST_F(Dispatch, InvokeReachesTheInterfaceMethodsAndReportsFailures)
{
    Variant key;
    (*key).vt = VT_BSTR;
    (*key).bstrVal = SysAllocString(L"dispatch key");
    DISPPARAMS setKeyArgs{key.get(), nullptr, 1, 0};
    ASSERT_EQ(S_OK, crypter_->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &setKeyArgs, nullptr, nullptr, nullptr));

    Variant text;
    (*text).vt = VT_BSTR;
    (*text).bstrVal = SysAllocString(L"abc");
    DISPPARAMS oneText{text.get(), nullptr, 1, 0};
    for (DISPID method : {1, 7, 8}) {
        Variant marked;
        ASSERT_EQ(S_OK, crypter_->Invoke(method, IID_NULL, 0, DISPATCH_METHOD, &oneText, marked.get(), nullptr,
                                         nullptr));
        ASSERT_EQ(VT_BSTR, (*marked).vt);
        DISPPARAMS decryptArgs{marked.get(), nullptr, 1, 0};
        Variant back;
        ASSERT_EQ(S_OK, crypter_->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &decryptArgs, back.get(), nullptr,
                                         nullptr));
        EXPECT_EQ(L"abc", std::wstring((*back).bstrVal));
    }

    // A failure arrives as an exception carrying the error info's record.
    Variant damaged;
    (*damaged).vt = VT_BSTR;
    (*damaged).bstrVal = SysAllocString(L"[ZQV]Y\nAAAA[/ZQV]");
    DISPPARAMS damagedArgs{damaged.get(), nullptr, 1, 0};
    Variant none;
    EXCEPINFO exception{};
    ASSERT_EQ(DISP_E_EXCEPTION,
              crypter_->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &damagedArgs, none.get(), &exception, nullptr));
    EXPECT_EQ(static_cast<SCODE>(0x80040065), exception.scode);
    EXPECT_EQ(L"Encryption code damaged or type wrong", std::wstring(exception.bstrDescription));
    EXPECT_EQ(L"Zarnocrypt.Crypter", std::wstring(exception.bstrSource));
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrHelpFile);

    // What scripts pass to EncryptEx: arrays of variants and strings are "no
    // bytes", answered with VT_ARRAY|VT_NULL, a type that Wine's
    // ITypeInfo::Invoke refuses to hand on. No failure of the component's own.
    SAFEARRAYBOUND bound{2, 0};
    Variant scriptArray;
    (*scriptArray).vt = VT_ARRAY | VT_VARIANT;
    (*scriptArray).parray = SafeArrayCreate(VT_VARIANT, 1, &bound);
    for (VARIANT* input : {scriptArray.get(), text.get()}) {
        DISPPARAMS args{input, nullptr, 1, 0};
        Variant answer;
        const HRESULT result = crypter_->Invoke(5, IID_NULL, 0, DISPATCH_METHOD, &args, answer.get(), nullptr,
                                                nullptr);
        EXPECT_TRUE(result == DISP_E_BADVARTYPE || (result == S_OK && (*answer).vt == (VT_ARRAY | VT_NULL)))
            << std::hex << result;
    }

    EXPECT_EQ(E_INVALIDARG, crypter_->Invoke(4, IID_NULL, 0, DISPATCH_METHOD, nullptr, none.get(), nullptr, nullptr));
    DISPPARAMS noArgs{nullptr, nullptr, 0, 0};
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
              crypter_->Invoke(99, IID_NULL, 0, DISPATCH_METHOD, &noArgs, none.get(), nullptr, nullptr));
}

// Runs in a process of its own, which has not loaded the type information yet.
TEST(TypeLibraryNotRegistered, DispatchFailsWhileTheVtableWorks)
{
    ServerDll dll;
    ASSERT_NE(nullptr, dll.registerServer);
    UnRegisterTypeLib(LIBID_ZARNOCRYPTLib, 1, 0, 0, kOwnSyskind);

    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, dll.getClassObject(CLSID_Crypter, IID_IClassFactory, factory.out()));
    ComPtr<ICrypter> crypter;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ICrypter, crypter.out()));

    ComPtr<ITypeInfo> typeInfo;
    EXPECT_EQ(TYPE_E_LIBNOTREGISTERED, crypter->GetTypeInfo(0, 0, typeInfo.typed_out()));
    EXPECT_EQ(nullptr, typeInfo.get());
    DISPID id = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Encrypt")};
    EXPECT_EQ(TYPE_E_LIBNOTREGISTERED, crypter->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    DISPPARAMS noArgs{nullptr, nullptr, 0, 0};
    Variant version;
    EXPECT_EQ(TYPE_E_LIBNOTREGISTERED,
              crypter->Invoke(4, IID_NULL, 0, DISPATCH_METHOD, &noArgs, version.get(), nullptr, nullptr));

    Bstr key(L"vtable");
    Bstr plain(L"still works");
    Bstr marked;
    Bstr back;
    EXPECT_EQ(S_OK, crypter->SetKey(key.get()));
    ASSERT_EQ(S_OK, crypter->Encrypt(plain.get(), marked.out()));
    ASSERT_EQ(S_OK, crypter->Decrypt(marked.get(), back.out()));
    EXPECT_EQ(L"still works", back.text());

    // A failed load is not remembered: once registered, the next call loads it.
    ASSERT_EQ(S_OK, dll.registerServer());
    EXPECT_EQ(S_OK, crypter->GetTypeInfo(0, 0, typeInfo.typed_out()));
    EXPECT_EQ(S_OK, crypter->GetIDsOfNames(IID_NULL, names, 1, 0, &id));
    EXPECT_EQ(1, id);
}

}  // namespace
}  // namespace zarnocrypt::test
