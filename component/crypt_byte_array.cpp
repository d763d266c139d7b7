#include "crypt_byte_array.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <utility>

#include "buffer.h"
#include "crypter_errors.h"
#include "either_format.h"
#include "envelope.h"
#include "sealed_message.h"

namespace zarnocrypt {
namespace {

enum class InputOutcome { Bytes, NoBytes, TooLong };

// The input array's elements, read in place: the array stays locked while
// the view lives, so the caller cannot free it under us.
class InputBytes {
public:
    InputBytes() noexcept = default;
    InputBytes(const InputBytes&) = delete;
    InputBytes& operator=(const InputBytes&) = delete;
    ~InputBytes()
    {
        if (array_ != nullptr)
            SafeArrayUnaccessData(array_);
    }

    // Bounds are read as the caller set them, so the count is computed in 64
    // bits: no lower and upper bound can make it wrap. An envelope's sizes are
    // signed 32-bit, so longer input cannot be crypted.
    InputOutcome Take(const VARIANT& input) noexcept
    {
        if (input.vt != VT_BYTE_ARRAY || input.parray == nullptr)
            return InputOutcome::NoBytes;
        SAFEARRAY* array = input.parray;
        if (SafeArrayGetDim(array) != 1 || SafeArrayGetElemsize(array) != 1)
            return InputOutcome::NoBytes;
        LONG lower = 0;
        LONG upper = 0;
        if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper)))
            return InputOutcome::NoBytes;
        const std::int64_t count = static_cast<std::int64_t>(upper) - lower + 1;
        if (count <= 0)
            return InputOutcome::NoBytes;
        if (count > std::numeric_limits<std::int32_t>::max())
            return InputOutcome::TooLong;

        return Access(array, static_cast<std::int32_t>(count)) ? InputOutcome::Bytes : InputOutcome::NoBytes;
    }

    // The count elements of a one-dimensional array; false when the array
    // cannot be locked, or claims elements but holds no data.
    bool Access(SAFEARRAY* array, std::int32_t count) noexcept
    {
        void* elements = nullptr;
        if (FAILED(SafeArrayAccessData(array, &elements)))
            return false;
        array_ = array;
        data_ = elements;
        size_ = count;
        return elements != nullptr || count == 0;
    }

    const std::uint8_t* data() const noexcept { return static_cast<const std::uint8_t*>(data_); }
    const VARIANT* variants() const noexcept { return static_cast<const VARIANT*>(data_); }
    std::int32_t size() const noexcept { return size_; }

private:
    SAFEARRAY* array_ = nullptr;
    const void* data_ = nullptr;
    std::int32_t size_ = 0;
};

// A new one-dimensional array of bytes (VT_I1 or VT_UI1) with lower bound 0,
// locked for writing.
class OutputArray {
public:
    OutputArray(const OutputArray&) = delete;
    OutputArray& operator=(const OutputArray&) = delete;
    OutputArray(std::size_t count, VARTYPE element) noexcept : element_(element)
    {
        SAFEARRAYBOUND bound{static_cast<ULONG>(count), 0};
        array_ = SafeArrayCreate(element, 1, &bound);
        if (array_ != nullptr && FAILED(SafeArrayAccessData(array_, &elements_))) {
            SafeArrayDestroy(array_);
            array_ = nullptr;
        }
    }
    ~OutputArray()
    {
        if (array_ != nullptr) {
            SafeArrayUnaccessData(array_);
            SafeArrayDestroy(array_);
        }
    }

    explicit operator bool() const noexcept { return array_ != nullptr; }
    std::uint8_t* data() const noexcept { return static_cast<std::uint8_t*>(elements_); }

    // An [out] parameter: whatever it held belongs to nobody, so it is not cleared.
    HRESULT StoreInto(VARIANT* output) noexcept
    {
        SafeArrayUnaccessData(array_);
        output->parray = std::exchange(array_, nullptr);
        output->vt = VT_ARRAY | element_;
        return S_OK;
    }

private:
    VARTYPE element_;
    SAFEARRAY* array_ = nullptr;
    void* elements_ = nullptr;
};

HRESULT StoreOutputBytes(const std::uint8_t* bytes, std::size_t count, VARTYPE element, VARIANT* output) noexcept
{
    OutputArray array(count, element);
    if (!array)
        return E_OUTOFMEMORY;
    if (count > 0)
        std::memcpy(array.data(), bytes, count);
    return array.StoreInto(output);
}

HRESULT ReportCryptFailure(CryptDirection direction) noexcept
{
    return ReportFailure(direction == CryptDirection::Encrypt ? ENCRYPT_FAILED : DECRYPT_FAILED);
}

// A message made or read whole in a buffer, as the result array.
HRESULT StoreOutcome(Status status, const Buffer& bytes, CryptDirection direction, VARTYPE element,
                     VARIANT* output) noexcept
{
    switch (status) {
    case Status::Ok:
        return StoreOutputBytes(bytes.data(), bytes.size(), element, output);
    case Status::NoMemory:
        return E_OUTOFMEMORY;
    default:
        return ReportCryptFailure(direction);
    }
}

HRESULT EncryptInto(const MessageKeys& keys, const std::uint8_t* data, std::size_t length, VARTYPE element,
                    VARIANT* output) noexcept
{
    if (keys.sealed) {
        Buffer message;
        const Status status = SealBytes(keys.keyText, {data, length}, message);
        return StoreOutcome(status, message, CryptDirection::Encrypt, element, output);
    }
    // The envelope is written straight into the result array: one copy of the data.
    std::size_t size = 0;
    if (EnvelopeSize(keys.cipher, length, size) != Status::Ok)
        return ReportCryptFailure(CryptDirection::Encrypt);
    OutputArray array(size, element);
    if (!array)
        return E_OUTOFMEMORY;
    if (EncryptEnvelopeInto(keys.cipher, data, length, array.data(), size) != Status::Ok)
        return ReportCryptFailure(CryptDirection::Encrypt);
    return array.StoreInto(output);
}

HRESULT DecryptInto(const MessageKeys& keys, const std::uint8_t* data, std::size_t size, VARTYPE element,
                    VARIANT* output) noexcept
{
    Buffer plaintext;
    const Status status = keys.sealed ? DecryptAnyBytes({data, size}, keys.cipher, keys.keyText, plaintext)
                                      : DecryptEnvelope(keys.cipher, data, size, plaintext);
    return StoreOutcome(status, plaintext, CryptDirection::Decrypt, element, output);
}

HRESULT CryptInto(const MessageKeys& keys, CryptDirection direction, const std::uint8_t* data, std::size_t size,
                  VARTYPE element, VARIANT* output) noexcept
{
    return direction == CryptDirection::Encrypt ? EncryptInto(keys, data, size, element, output)
                                                : DecryptInto(keys, data, size, element, output);
}

// The array that EncryptBytes and DecryptBytes take: of bytes (VT_UI1 or
// VT_I1) or of variants, held by value, by reference, or in a variant passed
// by reference, as VBScript passes a variable (one level only). Null for
// anything else.
SAFEARRAY* HeldArray(const VARIANT& data, VARTYPE& element) noexcept
{
    const VARIANT& held = data.vt == (VT_BYREF | VT_VARIANT) && data.pvarVal != nullptr ? *data.pvarVal : data;
    element = held.vt & VT_TYPEMASK;
    if ((held.vt & ~VT_BYREF) != (VT_ARRAY | element) ||
        (element != VT_UI1 && element != VT_I1 && element != VT_VARIANT))
        return nullptr;
    if ((held.vt & VT_BYREF) == 0)
        return held.parray;
    return held.pparray != nullptr ? *held.pparray : nullptr;
}

// Numbers only: a script's "12" or True is no byte.
constexpr VARTYPE NUMBER_TYPES[] = {VT_UI1, VT_I1, VT_I2, VT_UI2, VT_I4, VT_UI4, VT_INT, VT_UINT,
                                    VT_I8, VT_UI8, VT_R4, VT_R8, VT_CY, VT_DECIMAL};

// An element of an array of variants that holds a whole number from 0 to
// 255; 1.5 is refused, not rounded.
bool ElementByte(const VARIANT& element, std::uint8_t& byte) noexcept
{
    if (std::find(std::begin(NUMBER_TYPES), std::end(NUMBER_TYPES), element.vt) == std::end(NUMBER_TYPES))
        return false;
    VARIANT number;
    VariantInit(&number);
    if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(&element), 0, VT_R8)))
        return false;
    const double value = number.dblVal;
    if (!(value >= 0 && value <= 255 && value == std::floor(value)))
        return false;
    byte = static_cast<std::uint8_t>(value);
    return true;
}

}  // namespace

HRESULT CryptByteArray(RijndaelKey& key, CryptDirection direction, const VARIANT& input,
                       VARIANT* output) noexcept
{
    if (!key.HasKeyBytes())
        return ReportFailure(KEY_HAS_NOT_BEEN_SET);

    InputBytes bytes;
    switch (bytes.Take(input)) {
    case InputOutcome::NoBytes:
        // The array field is cleared too, so VariantClear of the answer is safe.
        output->parray = nullptr;
        output->vt = VT_NO_BYTES;
        return S_OK;
    case InputOutcome::TooLong:
        return ReportCryptFailure(direction);
    case InputOutcome::Bytes:
        break;
    }

    return CryptInto({key}, direction, bytes.data(), bytes.size(), VT_I1, output);
}

HRESULT CryptBytesVariant(const MessageKeys& keys, CryptDirection direction, const VARIANT& data,
                          VARIANT* result) noexcept
{
    if (!keys.cipher.HasKeyBytes())
        return ReportFailure(KEY_HAS_NOT_BEEN_SET);

    VARTYPE element = VT_EMPTY;
    SAFEARRAY* array = HeldArray(data, element);
    const UINT elementSize = element == VT_VARIANT ? sizeof(VARIANT) : 1;
    if (array == nullptr || SafeArrayGetDim(array) != 1 || SafeArrayGetElemsize(array) != elementSize)
        return ReportFailure(NOT_BYTES);
    // The count as the descriptor holds it: no pair of bounds can wrap it.
    const ULONG count = array->rgsabound[0].cElements;
    if (count > ENVELOPE_MAX_SIZE)
        return ReportCryptFailure(direction);
    InputBytes elements;
    if (!elements.Access(array, static_cast<std::int32_t>(count)))
        return ReportFailure(NOT_BYTES);
    if (element != VT_VARIANT)
        return CryptInto(keys, direction, elements.data(), count, VT_UI1, result);

    Buffer bytes = Buffer::AllocateForOverwrite(count);
    if (!bytes)
        return E_OUTOFMEMORY;
    for (ULONG i = 0; i < count; ++i) {
        if (!ElementByte(elements.variants()[i], bytes.data()[i]))
            return ReportFailure(NOT_BYTES);
    }
    return CryptInto(keys, direction, bytes.data(), count, VT_UI1, result);
}

}  // namespace zarnocrypt
