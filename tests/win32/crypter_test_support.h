// Small owners and helpers for the Windows tests of the Crypter object.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "crypter.h"

namespace zarnocrypt::test {

using StringMethod = HRESULT (STDMETHODCALLTYPE ICrypter::*)(BSTR, BSTR*);
using VariantMethod = HRESULT (STDMETHODCALLTYPE ICrypter::*)(VARIANT, VARIANT*);

// An automation string owned by the test.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text) : value_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value_); }

    BSTR get() const { return value_; }
    BSTR* out() { SysFreeString(value_); value_ = nullptr; return &value_; }
    bool null() const { return value_ == nullptr; }
    std::wstring text() const { return value_ ? std::wstring(value_, SysStringLen(value_)) : L""; }

private:
    BSTR value_ = nullptr;
};

// A variant cleared by the test.
class Variant {
public:
    Variant() { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { VariantClear(&value_); }
    VARIANT* get() { return &value_; }
    VARIANT& operator*() { return value_; }

private:
    VARIANT value_;
};

template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept { std::swap(pointer_, other.pointer_); return *this; }
    ~ComPtr() { if (pointer_) pointer_->Release(); }
    Interface* operator->() const { return pointer_; }
    Interface* get() const { return pointer_; }
    void** out() { return reinterpret_cast<void**>(&pointer_); }
    Interface** typed_out() { return &pointer_; }

private:
    Interface* pointer_ = nullptr;
};

// A new object, keyed with key unless it is null.
inline ComPtr<ICrypter> KeyedCrypter(const wchar_t* key = nullptr)
{
    ComPtr<ICrypter> crypter;
    EXPECT_EQ(S_OK, CreateCrypter(IID_ICrypter, crypter.out()));
    if (key != nullptr && crypter.get() != nullptr) {
        EXPECT_EQ(S_OK, crypter->SetKey(Bstr(key).get()));
    }
    return crypter;
}

struct ErrorRecord {
    bool present = false;
    std::wstring source;
    std::wstring description;
    GUID guid{};
};

// Takes the thread's error info, as a client does after a failed call.
inline ErrorRecord TakeErrorInfo()
{
    ErrorRecord record;
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) != S_OK || info == nullptr)
        return record;
    record.present = true;
    Bstr source, description;
    info->GetSource(source.out());
    info->GetDescription(description.out());
    info->GetGUID(&record.guid);
    record.source = source.text();
    record.description = description.text();
    info->Release();
    return record;
}

inline void ExpectReported(const wchar_t* description)
{
    const ErrorRecord record = TakeErrorInfo();
    EXPECT_TRUE(record.present);
    EXPECT_EQ(L"Zarnocrypt.Crypter", record.source);
    EXPECT_EQ(description, record.description);
    EXPECT_TRUE(IsEqualGUID(GUID_NULL, record.guid));
}

// A VT_ARRAY|VT_I1 variant of the bytes, with the given lower bound.
inline void MakeByteArray(VARIANT* variant, const std::vector<std::uint8_t>& bytes, LONG lower = 0,
                          VARTYPE element = VT_I1)
{
    SAFEARRAYBOUND bound{static_cast<ULONG>(bytes.size()), lower};
    SAFEARRAY* array = SafeArrayCreate(element, 1, &bound);
    ASSERT_NE(nullptr, array);
    void* data = nullptr;
    ASSERT_EQ(S_OK, SafeArrayAccessData(array, &data));
    std::copy(bytes.begin(), bytes.end(), static_cast<std::uint8_t*>(data));
    SafeArrayUnaccessData(array);
    variant->vt = VT_ARRAY | element;
    variant->parray = array;
}

// The bytes of a result array, which must be one-dimensional with lower bound 0.
inline std::vector<std::uint8_t> ReadByteArray(const VARIANT& variant)
{
    std::vector<std::uint8_t> bytes;
    EXPECT_EQ(VT_ARRAY | VT_I1, variant.vt);
    if (variant.vt != (VT_ARRAY | VT_I1) || variant.parray == nullptr)
        return bytes;
    EXPECT_EQ(1u, SafeArrayGetDim(variant.parray));
    LONG lower = -1, upper = -1;
    SafeArrayGetLBound(variant.parray, 1, &lower);
    SafeArrayGetUBound(variant.parray, 1, &upper);
    EXPECT_EQ(0, lower);
    for (LONG i = lower; i <= upper; ++i) {
        signed char element = 0;
        SafeArrayGetElement(variant.parray, &i, &element);
        bytes.push_back(static_cast<std::uint8_t>(element));
    }
    return bytes;
}

// A string method that must succeed; a text in gives a string out, never null.
inline std::wstring CallText(ICrypter* crypter, StringMethod method, const std::wstring& text)
{
    Bstr in(text), out;
    EXPECT_EQ(S_OK, (crypter->*method)(in.get(), out.out()));
    EXPECT_FALSE(out.null());
    return out.text();
}

// A byte method that must succeed, given an array with the given lower bound.
inline std::vector<std::uint8_t> CallBytes(ICrypter* crypter, VariantMethod method,
                                           const std::vector<std::uint8_t>& bytes, LONG lower = 0)
{
    Variant in, out;
    MakeByteArray(in.get(), bytes, lower);
    EXPECT_EQ(S_OK, (crypter->*method)(*in, out.get()));
    return ReadByteArray(*out);
}

}  // namespace zarnocrypt::test
