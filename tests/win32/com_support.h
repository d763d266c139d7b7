// Owners of automation strings, variants and interface pointers, and the
// readers that every Windows test uses.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "Zarnocrypt_h.h"

namespace zarnocrypt::test {

using Bytes = std::vector<std::uint8_t>;

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text) : value_(SysAllocStringLen(text.data(), UINT(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value_); }
    BSTR get() const { return value_; }
    BSTR* out() { SysFreeString(value_); value_ = nullptr; return &value_; }
    std::wstring text() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : L""; }

private:
    BSTR value_ = nullptr;
};

struct Variant : VARIANT {
    Variant() { VariantInit(this); }
    Variant(const Variant&) = delete;
    ~Variant() { VariantClear(this); }
};

template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ~ComPtr() { if (pointer_) pointer_->Release(); }
    Interface* operator->() const { return pointer_; }
    Interface* get() const { return pointer_; }
    template <typename T = void>
    T** out() { return reinterpret_cast<T**>(&pointer_); }

private:
    Interface* pointer_ = nullptr;
};

// The thread's error record as "source|description" ("" for none, "GUID!" if
// it names an interface); taking it clears it.
inline std::wstring TakeErrorRecord()
{
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.out<IErrorInfo>()) != S_OK || info.get() == nullptr)
        return L"";
    Bstr source, description;
    GUID guid{};
    info->GetSource(source.out());
    info->GetDescription(description.out());
    info->GetGUID(&guid);
    return (IsEqualGUID(GUID_NULL, guid) ? L"" : L"GUID!") + source.text() + L"|" + description.text();
}

inline void MakeByteArray(VARIANT* variant, const Bytes& bytes, LONG lower = 0, VARTYPE element = VT_I1)
{
    SAFEARRAYBOUND bound{ULONG(bytes.size()), lower};
    variant->parray = SafeArrayCreate(element, 1, &bound);
    variant->vt = VT_ARRAY | element;
    std::copy(bytes.begin(), bytes.end(), static_cast<std::uint8_t*>(variant->parray->pvData));
}

// The bytes of a result, which must be a one-dimensional array of the element type with lower bound 0.
inline Bytes ReadByteArray(const VARIANT& variant, VARTYPE element = VT_I1)
{
    LONG lower = -1, upper = -1;
    if (variant.vt != (VT_ARRAY | element) || SafeArrayGetDim(variant.parray) != 1 ||
        SafeArrayGetLBound(variant.parray, 1, &lower) || lower != 0 || SafeArrayGetUBound(variant.parray, 1, &upper))
        return {0xBA, 0xD0};
    const auto* data = static_cast<const std::uint8_t*>(variant.parray->pvData);
    return Bytes(data, data + upper + 1);
}

// In the crypter tests' program, which counts every allocation
// (tests/counting_allocator.h and a malloc spy): {automation blocks, heap blocks} alive.
std::pair<long, long> LiveCounts();
// From the n-th allocation on (heap or automation), every one fails; -1 stops
// failing. Returns how many allocations were still to go before the first failure.
long FailAllocationsFrom(long n);

inline std::wstring GuidText(REFGUID guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

// The built DLL's full Windows path, from ZARNOCRYPT_DLL.
inline std::wstring ServerPath()
{
    const wchar_t* path = _wgetenv(L"ZARNOCRYPT_DLL");
    return path ? path : L"(ZARNOCRYPT_DLL is not set)";
}

template <typename Function>
Function Export(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace zarnocrypt::test
