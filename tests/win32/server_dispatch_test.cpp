// IDispatch of ICrypter, served from the type library that the DLL carries
// and registers: its layout (what script hosts and Invoke rely on), names,
// type information and Invoke, and the virtual table while the library is
// not registered.
#include "com_support.h"

namespace zarnocrypt::test {
namespace {

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

// The virtual-table half of the dual interface: Invoke calls through its slots, scripts by its names.
TEST(TypeLibrary, LayoutOfTheDualInterface)
{
    ComPtr<ITypeLib> library;
    ComPtr<ITypeInfo> dispatch, dual;
    HREFTYPE reference = 0;
    TYPEATTR* type = nullptr;
    ASSERT_EQ(S_OK, LoadTypeLibEx(ServerPath().c_str(), REGKIND_NONE, library.out<ITypeLib>()));
    ASSERT_EQ(S_OK, library->GetTypeInfoOfGuid(IID_ICrypter, dispatch.out<ITypeInfo>()));
    ASSERT_EQ(S_OK, dispatch->GetRefTypeOfImplType(-1, &reference));
    ASSERT_EQ(S_OK, dispatch->GetRefTypeInfo(reference, dual.out<ITypeInfo>()));
    ASSERT_EQ(S_OK, dual->GetTypeAttr(&type));
    const WORD dualFlags = TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
    EXPECT_TRUE(type->typekind == TKIND_INTERFACE && (type->wTypeFlags & dualFlags) == dualFlags);
    ASSERT_EQ(8, type->cFuncs);
    dual->ReleaseTypeAttr(type);
    for (UINT i = 0; i < 8; ++i) {
        const auto& expected = METHODS[i];
        FUNCDESC* function = nullptr;
        ASSERT_EQ(S_OK, dual->GetFuncDesc(i, &function));
        EXPECT_TRUE(function->memid == MEMBERID(i + 1) && function->funckind == FUNC_PUREVIRTUAL &&
                    function->invkind == INVOKE_FUNC && function->callconv == CC_STDCALL &&
                    function->elemdescFunc.tdesc.vt == VT_HRESULT) << i;
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

HRESULT Invoke(ICrypter* crypter, DISPID id, VARIANT* argument, VARIANT* result, EXCEPINFO* exception = nullptr)
{
    DISPPARAMS parameters{argument, nullptr, argument ? 1u : 0u, 0};
    return crypter->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &parameters, result, exception, nullptr);
}

TEST(Dispatch, NamesTypeInformationAndInvoke)
{
    ComPtr<ICrypter> crypter;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Crypter, nullptr, CLSCTX_INPROC_SERVER, IID_ICrypter, crypter.out()));
    // Each name is a member name of its own, in any case; the first unknown
    // one stops the call, and the DISPIDs before it stay written.
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Decrypt"), const_cast<LPOLESTR>(L"multilineENCRYPT"),
                        const_cast<LPOLESTR>(L"strInput"), const_cast<LPOLESTR>(L"Encrypt")};
    DISPID ids[4] = {0, 0, 0, 77};
    EXPECT_EQ(DISP_E_UNKNOWNNAME, crypter->GetIDsOfNames(IID_NULL, names, 4, 0, ids));
    EXPECT_TRUE(ids[0] == 2 && ids[1] == 8 && ids[3] == 77);
    EXPECT_EQ(S_OK, crypter->GetIDsOfNames(IID_NULL, names + 3, 1, 0, ids));
    EXPECT_EQ(1, ids[0]);

    UINT count = 0;
    EXPECT_TRUE(crypter->GetTypeInfoCount(&count) == S_OK && count == 1);
    ComPtr<ITypeInfo> info, other;
    TYPEATTR* type = nullptr;
    EXPECT_EQ(E_POINTER, crypter->GetTypeInfo(0, 0, nullptr));
    ASSERT_EQ(S_OK, crypter->GetTypeInfo(0, 0, info.out<ITypeInfo>()));
    ASSERT_EQ(S_OK, info->GetTypeAttr(&type));
    EXPECT_TRUE(IsEqualGUID(IID_ICrypter, type->guid));
    info->ReleaseTypeAttr(type);
    EXPECT_EQ(DISP_E_BADINDEX, crypter->GetTypeInfo(1, 0, other.out<ITypeInfo>()));
    EXPECT_EQ(nullptr, other.get());

    Variant key, text, marked, back, none;
    key.vt = text.vt = VT_BSTR;
    key.bstrVal = SysAllocString(L"dispatch key");
    text.bstrVal = SysAllocString(L"abc");
    ASSERT_EQ(S_OK, Invoke(crypter.get(), 3, &key, nullptr));
    ASSERT_EQ(S_OK, Invoke(crypter.get(), 7, &text, &marked));
    ASSERT_EQ(S_OK, Invoke(crypter.get(), 2, &marked, &back));
    EXPECT_EQ(L"abc", std::wstring(back.bstrVal));
    // A failure arrives as an exception carrying the error record.
    SysFreeString(text.bstrVal);
    text.bstrVal = SysAllocString(L"[ZQV]Y\nAAAA[/ZQV]");
    EXCEPINFO exception{};
    ASSERT_EQ(DISP_E_EXCEPTION, Invoke(crypter.get(), 2, &text, &none, &exception));
    EXPECT_EQ(SCODE(0x80040065), exception.scode);
    EXPECT_EQ(L"Encryption code damaged or type wrong|Zarnocrypt.Crypter",
              std::wstring(exception.bstrDescription) + L"|" + exception.bstrSource);
    for (BSTR owned : {exception.bstrDescription, exception.bstrSource, exception.bstrHelpFile})
        SysFreeString(owned);
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND, Invoke(crypter.get(), 99, nullptr, &none));
}

// Runs in a process of its own, which has not loaded the type information yet.
TEST(TypeLibraryNotRegistered, DispatchFailsWhileTheVtableWorks)
{
    const HMODULE dll = LoadLibraryW(ServerPath().c_str());
    const auto registerServer = Export<HRESULT(STDAPICALLTYPE*)()>(dll, "DllRegisterServer");
    ASSERT_NE(nullptr, registerServer);
    UnRegisterTypeLib(LIBID_ZARNOCRYPTLib, 1, 0, 0, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    ComPtr<ICrypter> crypter;
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Crypter, nullptr, CLSCTX_INPROC_SERVER, IID_ICrypter, crypter.out()));
    EXPECT_EQ(TYPE_E_LIBNOTREGISTERED, crypter->GetTypeInfo(0, 0, info.out<ITypeInfo>()));
    DISPID id = 0;
    LPOLESTR name[] = {const_cast<LPOLESTR>(L"Encrypt")};
    EXPECT_EQ(TYPE_E_LIBNOTREGISTERED, crypter->GetIDsOfNames(IID_NULL, name, 1, 0, &id));
    EXPECT_EQ(TYPE_E_LIBNOTREGISTERED, Invoke(crypter.get(), 4, nullptr, nullptr));
    Bstr version;
    EXPECT_EQ(S_OK, crypter->GetVersionString(version.out()));
    // A failed load is not remembered: once registered, the next call loads it.
    ASSERT_EQ(S_OK, registerServer());
    EXPECT_EQ(S_OK, crypter->GetIDsOfNames(IID_NULL, name, 1, 0, &id));
    EXPECT_EQ(1, id);
}

}  // namespace
}  // namespace zarnocrypt::test
