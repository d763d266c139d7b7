// Owners of automation strings, variants and interface pointers, and the
// small readers that every Windows test uses.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <cstdint>
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
    Variant& operator=(const Variant&) = delete;
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

// The thread's error info as a client reads it after a call; taking it clears it.
struct ErrorRecord {
    bool present = false;
    std::wstring source, description;
    bool guidNull = true;

    static ErrorRecord Take()
    {
        ErrorRecord record;
        ComPtr<IErrorInfo> info;
        if (GetErrorInfo(0, info.out<IErrorInfo>()) != S_OK || info.get() == nullptr)
            return record;
        Bstr source, description;
        GUID guid{};
        info->GetSource(source.out());
        info->GetDescription(description.out());
        info->GetGUID(&guid);
        return {true, source.text(), description.text(), IsEqualGUID(GUID_NULL, guid) != 0};
    }
};

// A VT_ARRAY|VT_I1 (or other element type) of the bytes, with the given lower bound.
inline void MakeByteArray(VARIANT* variant, const Bytes& bytes, LONG lower = 0, VARTYPE element = VT_I1)
{
    SAFEARRAYBOUND bound{ULONG(bytes.size()), lower};
    variant->parray = SafeArrayCreate(element, 1, &bound);
    variant->vt = VT_ARRAY | element;
    void* data = nullptr;
    ASSERT_EQ(S_OK, SafeArrayAccessData(variant->parray, &data));
    std::copy(bytes.begin(), bytes.end(), static_cast<std::uint8_t*>(data));
    SafeArrayUnaccessData(variant->parray);
}

// The bytes of a result, which must be a one-dimensional VT_I1 array with lower bound 0.
inline Bytes ReadByteArray(const VARIANT& variant)
{
    if (variant.vt != (VT_ARRAY | VT_I1) || variant.parray == nullptr) {
        ADD_FAILURE() << "not a byte array: type " << variant.vt;
        return {};
    }
    LONG lower = -1, upper = -1;
    EXPECT_EQ(1u, SafeArrayGetDim(variant.parray));
    SafeArrayGetLBound(variant.parray, 1, &lower);
    SafeArrayGetUBound(variant.parray, 1, &upper);
    EXPECT_EQ(0, lower);
    const auto* data = static_cast<const std::uint8_t*>(variant.parray->pvData);
    return Bytes(data, data + (upper - lower + 1));
}

}  // namespace zarnocrypt::test
