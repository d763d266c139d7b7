#include "crypt_byte_array.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

#include "buffer.h"
#include "crypter_errors.h"
#include "envelope.h"

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

        void* elements = nullptr;
        if (FAILED(SafeArrayAccessData(array, &elements)))
            return InputOutcome::NoBytes;
        array_ = array;
        if (elements == nullptr)
            return InputOutcome::NoBytes;
        data_ = static_cast<const std::uint8_t*>(elements);
        size_ = static_cast<std::int32_t>(count);
        return InputOutcome::Bytes;
    }

    const std::uint8_t* data() const noexcept { return data_; }
    std::int32_t size() const noexcept { return size_; }

private:
    SAFEARRAY* array_ = nullptr;
    const std::uint8_t* data_ = nullptr;
    std::int32_t size_ = 0;
};

// A new one-dimensional VT_I1 array with lower bound 0, locked for writing.
class OutputArray {
public:
    OutputArray(const OutputArray&) = delete;
    OutputArray& operator=(const OutputArray&) = delete;
    explicit OutputArray(std::size_t count) noexcept
    {
        SAFEARRAYBOUND bound{static_cast<ULONG>(count), 0};
        array_ = SafeArrayCreate(VT_I1, 1, &bound);
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
        output->vt = VT_BYTE_ARRAY;
        return S_OK;
    }

private:
    SAFEARRAY* array_ = nullptr;
    void* elements_ = nullptr;
};

HRESULT StoreOutputBytes(const std::uint8_t* bytes, std::size_t count, VARIANT* output) noexcept
{
    OutputArray array(count);
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

HRESULT EncryptInto(const RijndaelKey& key, const InputBytes& bytes, VARIANT* output) noexcept
{
    // The envelope is written straight into the result array: one copy of the data.
    std::size_t size = 0;
    if (EnvelopeSize(key, bytes.size(), size) != Status::Ok)
        return ReportCryptFailure(CryptDirection::Encrypt);
    OutputArray array(size);
    if (!array)
        return E_OUTOFMEMORY;
    if (EncryptEnvelopeInto(key, bytes.data(), bytes.size(), array.data(), size) != Status::Ok)
        return ReportCryptFailure(CryptDirection::Encrypt);
    return array.StoreInto(output);
}

HRESULT DecryptInto(RijndaelKey& key, const InputBytes& bytes, VARIANT* output) noexcept
{
    Buffer plaintext;
    switch (DecryptEnvelope(key, bytes.data(), bytes.size(), plaintext)) {
    case Status::Ok:
        return StoreOutputBytes(plaintext.data(), plaintext.size(), output);
    case Status::NoMemory:
        return E_OUTOFMEMORY;
    default:
        return ReportCryptFailure(CryptDirection::Decrypt);
    }
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

    return direction == CryptDirection::Encrypt ? EncryptInto(key, bytes, output) : DecryptInto(key, bytes, output);
}

}  // namespace zarnocrypt
