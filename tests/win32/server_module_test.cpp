// The server module linked into the test program: exact lock counts, the
// cached class object, CreateInstance and aggregation, and a registration
// whose script fails. The program carries a malformed REGISTRY 101 and the
// real TYPELIB 1 as resources.
#include "crypter_test_support.h"
#include "registrar_win.h"
#include "server_module.h"
#include "server_test_support.h"

namespace zarnocrypt::test {
namespace {

class ModuleEnvironment : public testing::Environment {
public:
    void SetUp() override { InitializeModule(GetModuleHandleW(nullptr)); }
    void TearDown() override { TerminateModule(); }
};
const testing::Environment* const environment = testing::AddGlobalTestEnvironment(new ModuleEnvironment);

ComPtr<IClassFactory>* GetFactory(ComPtr<IClassFactory>& factory)
{
    EXPECT_EQ(S_OK, GetModuleClassObject(CLSID_Crypter, IID_IClassFactory, factory.out()));
    return &factory;
}

// An outer object that counts the references which reach it and hands
// every interface but IUnknown to the object it aggregates.
class Outer final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualIID(riid, IID_IUnknown)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return inner->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    IUnknown* inner = nullptr;
    ULONG references = 1;
};

TEST(ServerModule, OutsideReferencesToTheClassObjectCountOnce)
{
    ASSERT_EQ(0, ModuleLockCount());
    ComPtr<IClassFactory> first;
    GetFactory(first);
    EXPECT_EQ(1, ModuleLockCount());
    {
        ComPtr<IClassFactory> second;
        GetFactory(second);
        EXPECT_EQ(first.get(), second.get());  // the cached one
        ComPtr<IUnknown> unknown;
        ASSERT_EQ(S_OK, second->QueryInterface(IID_IUnknown, unknown.out()));
        EXPECT_EQ(static_cast<void*>(first.get()), static_cast<void*>(unknown.get()));
        EXPECT_EQ(1, ModuleLockCount());
    }
    EXPECT_EQ(1, ModuleLockCount());
}

TEST(ServerModule, ObjectsAndServerLocksEachCountOne)
{
    ComPtr<IClassFactory> factory;
    GetFactory(factory);
    const LONG base = ModuleLockCount();
    EXPECT_EQ(1, base);  // the factory held here
    {
        ComPtr<ICrypter> one;
        ComPtr<ICrypter> two;
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ICrypter, one.out()));
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ICrypter, two.out()));
        EXPECT_EQ(base + 2, ModuleLockCount());
        EXPECT_EQ(S_OK, factory->LockServer(TRUE));
        EXPECT_EQ(base + 3, ModuleLockCount());
        EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    }
    EXPECT_EQ(base, ModuleLockCount());
}

TEST(ServerModule, ClassObjectRequestsThatFail)
{
    void* result = &result;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, GetModuleClassObject(IID_ICrypter, IID_IClassFactory, &result));
    EXPECT_EQ(nullptr, result);
    EXPECT_EQ(E_POINTER, GetModuleClassObject(CLSID_Crypter, IID_IClassFactory, nullptr));
    result = &result;
    EXPECT_EQ(E_NOINTERFACE, GetModuleClassObject(CLSID_Crypter, IID_ICrypter, &result));
    EXPECT_EQ(nullptr, result);
    EXPECT_EQ(0, ModuleLockCount());
}

TEST(ServerModule, CreateInstanceFailures)
{
    ComPtr<IClassFactory> factory;
    GetFactory(factory);
    const LONG base = ModuleLockCount();
    EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_ICrypter, nullptr));

    Outer outer;
    void* result = &result;
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(&outer, IID_ICrypter, &result));
    EXPECT_EQ(nullptr, result);
    result = &result;
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &result));
    EXPECT_EQ(nullptr, result);
    EXPECT_EQ(base, ModuleLockCount());  // the refused object is gone again
    EXPECT_EQ(1u, outer.references);
}

TEST(ServerModule, AggregatedObjectDelegatesToItsOuterObject)
{
    ComPtr<IClassFactory> factory;
    GetFactory(factory);
    const LONG base = ModuleLockCount();
    Outer outer;
    ASSERT_EQ(S_OK, factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)));
    EXPECT_EQ(base + 1, ModuleLockCount());
    EXPECT_EQ(1u, outer.references);  // the inner object holds no reference on its owner

    ICrypter* crypter = nullptr;
    ASSERT_EQ(S_OK, outer.inner->QueryInterface(IID_ICrypter, reinterpret_cast<void**>(&crypter)));
    EXPECT_NE(static_cast<void*>(outer.inner), static_cast<void*>(crypter));
    EXPECT_EQ(2u, outer.references);
    crypter->AddRef();
    EXPECT_EQ(3u, outer.references);
    crypter->Release();
    EXPECT_EQ(2u, outer.references);

    // QueryInterface through a delegating interface gives the outer identity.
    IUnknown* identity = nullptr;
    ASSERT_EQ(S_OK, crypter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
    identity->Release();
    ISupportErrorInfo* errorSupport = nullptr;
    ASSERT_EQ(S_OK, crypter->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&errorSupport)));
    EXPECT_EQ(3u, outer.references);
    EXPECT_EQ(S_OK, errorSupport->InterfaceSupportsErrorInfo(IID_ICrypter));
    errorSupport->Release();

    Bstr key(L"aggregated");
    Bstr plain(L"inside");
    Bstr marked;
    Bstr back;
    EXPECT_EQ(S_OK, crypter->SetKey(key.get()));
    ASSERT_EQ(S_OK, crypter->Encrypt(plain.get(), marked.out()));
    ASSERT_EQ(S_OK, crypter->Decrypt(marked.get(), back.out()));
    EXPECT_EQ(L"inside", back.text());

    crypter->Release();
    EXPECT_EQ(1u, outer.references);
    EXPECT_EQ(0u, outer.inner->Release());
    EXPECT_EQ(base, ModuleLockCount());
}

TEST(ServerModule, ScriptFailureStopsBeforeTheTypeLibrary)
{
    UnRegisterTypeLib(LIBID_ZARNOCRYPTLib, 1, 0, 0, kOwnSyskind);
    EXPECT_EQ(E_REGISTRY_SCRIPT_INVALID, RegisterModule());
    ITypeLib* library = nullptr;
    EXPECT_EQ(TYPE_E_LIBNOTREGISTERED, LoadRegTypeLib(LIBID_ZARNOCRYPTLib, 1, 0, 0, &library));
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CLASSES_ROOT, L"Zarnocrypt.Crypter", 0, KEY_READ, &key));
    EXPECT_EQ(E_REGISTRY_SCRIPT_INVALID, UnregisterModule());
}

}  // namespace
}  // namespace zarnocrypt::test
