// The type library that widl makes from the IDL, read back through oleaut32:
// what script hosts and IDispatch see of the component.
#include <array>

#include "crypter_test_support.h"

namespace zarnocrypt::test {
namespace {

struct MethodEntry {
    MEMBERID dispid;
    const wchar_t* name;
    std::vector<const wchar_t*> parameters;
    const wchar_t* help;
    VARTYPE firstParameter;  // VT_EMPTY when there is none
};

const MethodEntry METHODS[] = {
    {1, L"Encrypt", {L"strInput", L"pOut"}, L"Encrypt input string", VT_BSTR},
    {2, L"Decrypt", {L"strInput", L"pOut"}, L"Decrypt the input string.", VT_BSTR},
    {3, L"SetKey", {L"strKey"}, L"SetKey", VT_BSTR},
    {4, L"GetVersionString", {L"pVersionString"}, L"Get Version String", VT_PTR},
    {5, L"EncryptEx", {L"vInput", L"vOut"}, L"Encrypt byte array", VT_VARIANT},
    {6, L"DecryptEx", {L"vInput", L"vOut"}, L"Decrypt byte array", VT_VARIANT},
    {7, L"HtmlEncrypt", {L"strInput", L"pOut"}, L"Encrypt with HTML comment", VT_BSTR},
    {8, L"MultilineEncrypt", {L"strInput", L"pOut"}, L"Multiline Encrypt", VT_BSTR},
};

class TypeLibrary : public testing::Test {
protected:
    void SetUp() override
    {
        std::array<wchar_t, MAX_PATH> path{};
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
        std::wstring file(path.data(), length);
        file = file.substr(0, file.find_last_of(L"\\/") + 1) + L"Zarnocrypt.tlb";
        ASSERT_EQ(S_OK, LoadTypeLibEx(file.c_str(), REGKIND_NONE, library_.typed_out()));
    }

    std::wstring Documentation(ITypeInfo* info, MEMBERID member, bool help)
    {
        Bstr name;
        Bstr helpString;
        EXPECT_EQ(S_OK, info->GetDocumentation(member, name.out(), helpString.out(), nullptr, nullptr));
        return help ? helpString.text() : name.text();
    }

    ComPtr<ITypeLib> library_;
};

TEST_F(TypeLibrary, LibraryAttributes)
{
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, library_->GetLibAttr(&attributes));
    EXPECT_TRUE(IsEqualGUID(LIBID_ZARNOCRYPTLib, attributes->guid));
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    EXPECT_EQ(0u, attributes->lcid);
    // widl --win32 or --win64, as the build: the library describes its own platform.
    EXPECT_EQ(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, attributes->syskind);
    // Wine adds LIBFLAG_FHASDISKIMAGE for a library read from a file; no other flag is set.
    EXPECT_EQ(0, attributes->wLibFlags & (LIBFLAG_FRESTRICTED | LIBFLAG_FCONTROL | LIBFLAG_FHIDDEN));
    library_->ReleaseTLibAttr(attributes);

    Bstr name;
    Bstr help;
    ASSERT_EQ(S_OK, library_->GetDocumentation(-1, name.out(), help.out(), nullptr, nullptr));
    EXPECT_EQ(L"ZARNOCRYPTLib", name.text());
    EXPECT_EQ(L"Zarnocrypt 1.0 Type Library", help.text());
}

TEST_F(TypeLibrary, CrypterClass)
{
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(S_OK, library_->GetTypeInfoOfGuid(CLSID_Crypter, coclass.typed_out()));
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attributes));
    EXPECT_EQ(TKIND_COCLASS, attributes->typekind);
    EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FCANCREATE);
    EXPECT_EQ(1, attributes->cImplTypes);
    coclass->ReleaseTypeAttr(attributes);
    EXPECT_EQ(L"Crypter", Documentation(coclass.get(), MEMBERID_NIL, false));
    EXPECT_EQ(L"Crypter Class", Documentation(coclass.get(), MEMBERID_NIL, true));

    INT flags = 0;
    ASSERT_EQ(S_OK, coclass->GetImplTypeFlags(0, &flags));
    EXPECT_EQ(IMPLTYPEFLAG_FDEFAULT, flags);
    HREFTYPE reference = 0;
    ASSERT_EQ(S_OK, coclass->GetRefTypeOfImplType(0, &reference));
    ComPtr<ITypeInfo> interfaceInfo;
    ASSERT_EQ(S_OK, coclass->GetRefTypeInfo(reference, interfaceInfo.typed_out()));
    EXPECT_EQ(L"ICrypter", Documentation(interfaceInfo.get(), MEMBERID_NIL, false));
}

// The vtable half of the dual interface: its slots must match the C++
// interface, since Invoke calls through them.
TEST_F(TypeLibrary, CrypterInterfaceMethods)
{
    ComPtr<ITypeInfo> dispatchInfo;
    ASSERT_EQ(S_OK, library_->GetTypeInfoOfGuid(IID_ICrypter, dispatchInfo.typed_out()));
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, dispatchInfo->GetTypeAttr(&attributes));
    EXPECT_EQ(TKIND_DISPATCH, attributes->typekind);
    EXPECT_EQ(TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE,
              attributes->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE));
    dispatchInfo->ReleaseTypeAttr(attributes);
    EXPECT_EQ(L"ICrypter Interface", Documentation(dispatchInfo.get(), MEMBERID_NIL, true));

    HREFTYPE reference = 0;
    ASSERT_EQ(S_OK, dispatchInfo->GetRefTypeOfImplType(-1, &reference));
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, dispatchInfo->GetRefTypeInfo(reference, info.typed_out()));
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
    EXPECT_EQ(TKIND_INTERFACE, attributes->typekind);
    EXPECT_EQ(TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE,
              attributes->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE));
    ASSERT_EQ(8, attributes->cFuncs);
    info->ReleaseTypeAttr(attributes);

    for (UINT index = 0; index < 8; ++index) {
        const MethodEntry& expected = METHODS[index];
        FUNCDESC* function = nullptr;
        ASSERT_EQ(S_OK, info->GetFuncDesc(index, &function));
        EXPECT_EQ(expected.dispid, function->memid);
        EXPECT_EQ(FUNC_PUREVIRTUAL, function->funckind);
        EXPECT_EQ(INVOKE_FUNC, function->invkind);
        EXPECT_EQ(CC_STDCALL, function->callconv);
        EXPECT_EQ(VT_HRESULT, function->elemdescFunc.tdesc.vt);
        EXPECT_EQ(static_cast<SHORT>((7 + index) * sizeof(void*)), function->oVft);  // after IUnknown and IDispatch
        ASSERT_EQ(static_cast<SHORT>(expected.parameters.size()), function->cParams);
        EXPECT_EQ(expected.firstParameter, function->lprgelemdescParam[0].tdesc.vt);
        const SHORT last = static_cast<SHORT>(function->cParams - 1);
        const USHORT lastFlags = function->lprgelemdescParam[last].paramdesc.wParamFlags;
        if (expected.parameters.size() == 2 || expected.dispid == 4)
            EXPECT_EQ(PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, lastFlags & (PARAMFLAG_FOUT | PARAMFLAG_FRETVAL));
        else
            EXPECT_EQ(PARAMFLAG_FIN, lastFlags & (PARAMFLAG_FIN | PARAMFLAG_FOUT));
        info->ReleaseFuncDesc(function);

        std::array<BSTR, 4> names{};
        UINT count = 0;
        ASSERT_EQ(S_OK, info->GetNames(expected.dispid, names.data(), 4, &count));
        ASSERT_EQ(expected.parameters.size() + 1, count);
        EXPECT_EQ(std::wstring(expected.name), names[0]);
        for (UINT i = 1; i < count; ++i)
            EXPECT_EQ(std::wstring(expected.parameters[i - 1]), names[i]);
        for (UINT i = 0; i < count; ++i)
            SysFreeString(names[i]);
        EXPECT_EQ(expected.help, Documentation(info.get(), expected.dispid, true));
    }
}

}  // namespace
}  // namespace zarnocrypt::test
