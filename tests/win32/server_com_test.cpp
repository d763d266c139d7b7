// The built DLL as COM clients meet it: its exports and unload rule, the
// cached class object, creation and aggregation, object identity, the
// version resource, and IDispatch served from the type library it carries
// and registers. "server_tests report" is the client that side_by_side.cmake
// runs in each registry view; "server_tests process-exit" ends its process as
// the loader's exit notification would find it.
#include <cstdio>
#include <string_view>

#include "com_support.h"

namespace zarnocrypt::test {
namespace {

using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

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
    const auto getClassObject = Export<GetClassObjectFunction>(dll, "DllGetClassObject");
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
    result = &result;
    EXPECT_TRUE(cached->CreateInstance(&outer, IID_ICrypter, &result) == CLASS_E_NOAGGREGATION && !result);
    result = &result;
    EXPECT_TRUE(cached->CreateInstance(nullptr, IID_IClassFactory, &result) == E_NOINTERFACE && !result);
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

// One identity across the interfaces, and error information for ICrypter only.
TEST(ServerCom, ObjectIdentity)
{
    ComPtr<IUnknown> unknown, again;
    ComPtr<IDispatch> dispatch;
    ComPtr<ICrypter> crypter;
    ComPtr<ISupportErrorInfo> errorSupport;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Crypter, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, unknown.out()));
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
}

// Installers register a DLL only when its version resource asks for it.
TEST(ServerCom, VersionResourceMarksItSelfRegistering)
{
    std::vector<BYTE> block(GetFileVersionInfoSizeW(ServerPath().c_str(), nullptr) + 1);
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(GetFileVersionInfoW(ServerPath().c_str(), 0, DWORD(block.size()), block.data()));
    EXPECT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\OLESelfRegister", &value, &length));
}

// Name, parameters (the last of two is [out, retval]), help string; DISPIDs from 1.
const std::vector<const wchar_t*> METHODS[] = {
    {L"Encrypt", L"strInput", L"pOut", L"Encrypt input string"},
    {L"Decrypt", L"strInput", L"pOut", L"Decrypt the input string."},
    {L"SetKey", L"strKey", L"SetKey"},
    {L"GetVersionString", L"pVersionString", L"Get Version String"},
    {L"EncryptEx", L"vInput", L"vOut", L"Encrypt byte array"},
    {L"DecryptEx", L"vInput", L"vOut", L"Decrypt byte array"},
    {L"HtmlEncrypt", L"strInput", L"pOut", L"Encrypt with HTML comment"},
    {L"MultilineEncrypt", L"strInput", L"pOut", L"Multiline Encrypt"},
};

// The virtual-table half of the dual interface (its absence fails the lookup):
// compiled clients call its slots, Invoke its DISPIDs, scripts its names.
TEST(TypeLibrary, LayoutOfTheDualInterface)
{
    ComPtr<ITypeLib> library;
    ComPtr<ITypeInfo> dispatch, dual;
    HREFTYPE reference = 0;
    ASSERT_EQ(S_OK, LoadTypeLibEx(ServerPath().c_str(), REGKIND_NONE, library.out<ITypeLib>()));
    ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(IID_ICrypter, dispatch.out<ITypeInfo>()));
    ASSERT_EQ(S_OK, dispatch->GetRefTypeOfImplType(-1, &reference));
    ASSERT_EQ(S_OK, dispatch->GetRefTypeInfo(reference, dual.out<ITypeInfo>()));
    for (UINT i = 0; i < 8; ++i) {
        const auto& expected = METHODS[i];
        FUNCDESC* function = nullptr;
        ASSERT_EQ(S_OK, dual->GetFuncDesc(i, &function));
        EXPECT_EQ(MEMBERID(i + 1), function->memid);
        EXPECT_EQ(SHORT((7 + i) * sizeof(void*)), function->oVft);  // after IUnknown's and IDispatch's slots
        const USHORT last = function->lprgelemdescParam[function->cParams - 1].paramdesc.wParamFlags;
        EXPECT_EQ(expected.size() == 4 || i == 3 ? PARAMFLAG_FOUT | PARAMFLAG_FRETVAL : PARAMFLAG_FIN,
                  last & (PARAMFLAG_FIN | PARAMFLAG_FOUT | PARAMFLAG_FRETVAL)) << i;
        dual->ReleaseFuncDesc(function);
        BSTR names[3] = {};
        UINT count = 0;
        Bstr help;
        ASSERT_EQ(S_OK, dual->GetNames(i + 1, names, 3, &count));
        EXPECT_EQ(S_OK, dual->GetDocumentation(i + 1, nullptr, help.out(), nullptr, nullptr));
        std::vector<std::wstring> got(names, names + count);
        got.push_back(help.text());
        EXPECT_EQ(std::vector<std::wstring>(expected.begin(), expected.end()), got);
        for (BSTR name : names)
            SysFreeString(name);
    }
}

// Invoke without arguments; the script tests call the methods through it.
HRESULT Invoke(ICrypter* crypter, DISPID id, VARIANT* result)
{
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    return crypter->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, result, nullptr, nullptr);
}

TEST(Dispatch, NamesAndTypeInformation)
{
    ComPtr<ICrypter> crypter;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Crypter, nullptr, CLSCTX_INPROC_SERVER, IID_ICrypter, crypter.out()));
    // Names after the first are parameters of the member named first, in any
    // case: VBA's named arguments, Encrypt(strInput:="abc"), reach the method.
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"encrypt"), const_cast<LPOLESTR>(L"STRINPUT"),
                        const_cast<LPOLESTR>(L"Destination")};
    DISPID ids[2] = {0, 77};
    ASSERT_EQ(S_OK, crypter->GetIDsOfNames(IID_NULL, names, 2, 0, ids));
    EXPECT_TRUE(ids[0] == 1 && ids[1] == 0);
    names[1] = names[2];
    EXPECT_EQ(DISP_E_UNKNOWNNAME, crypter->GetIDsOfNames(IID_NULL, names, 2, 0, ids));
    ASSERT_EQ(S_OK, crypter->SetKey(Bstr(L"named").get()));
    Variant text, marked;
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"abc");
    DISPID named = 0;
    DISPPARAMS arguments{&text, &named, 1, 1};
    ASSERT_EQ(S_OK, crypter->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &arguments, &marked, nullptr, nullptr));
    EXPECT_EQ(0, std::wcsncmp(marked.bstrVal, L"[ZQV]X", 6));

    UINT count = 0;
    EXPECT_TRUE(crypter->GetTypeInfoCount(&count) == S_OK && count == 1);
    ComPtr<ITypeInfo> info, other;
    TYPEATTR* type = nullptr;
    EXPECT_EQ(E_POINTER, crypter->GetTypeInfo(0, 0, nullptr));
    ASSERT_EQ(S_OK, crypter->GetTypeInfo(0, 0, info.out<ITypeInfo>()));
    ASSERT_EQ(S_OK, info->GetTypeAttr(&type));
    EXPECT_TRUE(IsEqualGUID(IID_ICrypter2, type->guid));
    info->ReleaseTypeAttr(type);
    EXPECT_EQ(DISP_E_BADINDEX, crypter->GetTypeInfo(1, 0, other.out<ITypeInfo>()));
    EXPECT_EQ(nullptr, other.get());

    Variant none;
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Invoke(crypter.get(), 99, &none));
}

// Runs in a process of its own, which has not loaded the type information yet.
TEST(TypeLibraryNotRegistered, DispatchFailsWhileTheVtableWorks)
{
    const HMODULE dll = LoadLibraryW(ServerPath().c_str());
    const auto registerServer = Export<HRESULT(STDAPICALLTYPE*)()>(dll, "DllRegisterServer");
    ASSERT_NE(nullptr, registerServer);
    UnRegisterTypeLib(LIBID_ZARNOCRYPTLib, 1, 0, 0, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    ComPtr<ICrypter> crypter;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Crypter, nullptr, CLSCTX_INPROC_SERVER, IID_ICrypter, crypter.out()));
    DISPID id = 0;
    LPOLESTR name[] = {const_cast<LPOLESTR>(L"Encrypt")};
    EXPECT_EQ(TYPE_E_LIBNOTREGISTERED, crypter->GetIDsOfNames(IID_NULL, name, 1, 0, &id));
    EXPECT_EQ(TYPE_E_LIBNOTREGISTERED, Invoke(crypter.get(), 4, nullptr));
    Bstr version;
    EXPECT_EQ(S_OK, crypter->GetVersionString(version.out()));
    // A failed load is not remembered: once registered, the next call loads it.
    ASSERT_EQ(S_OK, registerServer());
    EXPECT_EQ(S_OK, crypter->GetIDsOfNames(IID_NULL, name, 1, 0, &id));
    EXPECT_EQ(1, id);
}

// The module the system loaded for this view's registration, and the version
// read through IDispatch, which needs this view's type library.
int Report()
{
    ComPtr<ICrypter> crypter;
    HRESULT result = CoCreateInstance(CLSID_Crypter, nullptr, CLSCTX_INPROC_SERVER, IID_ICrypter, crypter.out());
    char module[MAX_PATH] = "(none)";
    GetModuleFileNameA(GetModuleHandleA("Zarnocrypt.dll"), module, MAX_PATH);
    Variant version;
    if (SUCCEEDED(result))
        result = Invoke(crypter.get(), 4, &version);  // GetVersionString
    if (FAILED(result))
        return std::printf("error %08lx\n", static_cast<unsigned long>(result)), 0;
    return std::printf("module=%s version=%ls\n", module, version.bstrVal), 0;
}

// At process exit (a non-null reserved pointer) the module leaves its cached
// class object alone: the libraries behind it may be gone. The DLL's entry
// point is called as the loader calls it, and the process then ends without
// the loader's own notifications.
int ProcessExit()
{
    const HMODULE dll = LoadLibraryW(ServerPath().c_str());
    const auto getClassObject = Export<GetClassObjectFunction>(dll, "DllGetClassObject");
    IClassFactory* factory = nullptr;
    if (!getClassObject || getClassObject(CLSID_Crypter, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK)
        return 2;
    const auto base = reinterpret_cast<std::uintptr_t>(dll);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const auto entry = reinterpret_cast<BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID)>(
        base + headers->OptionalHeader.AddressOfEntryPoint);
    int exiting = 1;  // any non-null pointer
    entry(dll, DLL_PROCESS_DETACH, &exiting);
    const ULONG references = factory->AddRef();  // the module's, ours and this one
    std::printf("class object references after the exit notification: %lu\n", references);
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), references == 3 ? 0 : 1);
    return 1;
}

}  // namespace
}  // namespace zarnocrypt::test

int main(int argc, char** argv)
{
    CoInitialize(nullptr);
    if (argc == 2 && argv[1] == std::string_view("report"))
        return zarnocrypt::test::Report();
    if (argc == 2 && argv[1] == std::string_view("process-exit"))
        return zarnocrypt::test::ProcessExit();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
