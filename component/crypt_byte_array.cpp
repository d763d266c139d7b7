#include "crypt_byte_array.h"

#include <cstdint>
#include <cstring>
#include <limits>

#include "buffer.h"
#include "crypter_errors.h"
#include "envelope.h"
#include "report_error.h"

namespace zarnocrypt {
namespace {

enum class InputOutcome { Bytes, NoBytes, TooLong, NoMemory };

// Bounds are read as the caller set them, so the count is computed in 64 bits:
// no lower and upper bound can make it wrap. An envelope's sizes are signed
// 32-bit, so longer input cannot be crypted and is refused before any copy.
InputOutcome TakeInputBytes(const VARIANT& input, Buffer& bytes) noexcept
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
    InputOutcome outcome = InputOutcome::NoBytes;
    if (elements != nullptr) {
        bytes = Buffer::Allocate(static_cast<std::size_t>(count));
        outcome = bytes ? InputOutcome::Bytes : InputOutcome::NoMemory;
        if (bytes)
            std::memcpy(bytes.data(), elements, bytes.size());
    }
    SafeArrayUnaccessData(array);
    return outcome;
}

HRESULT StoreOutputBytes(const std::uint8_t* bytes, std::size_t count, VARIANT* output) noexcept
{
    SAFEARRAYBOUND bound{static_cast<ULONG>(count), 0};
    SAFEARRAY* array = SafeArrayCreate(VT_I1, 1, &bound);
    if (array == nullptr)
        return E_OUTOFMEMORY;
    if (count > 0) {
        void* elements = nullptr;
        const HRESULT access = SafeArrayAccessData(array, &elements);
        if (FAILED(access)) {
            SafeArrayDestroy(array);
            return access;
        }
        std::memcpy(elements, bytes, count);
        SafeArrayUnaccessData(array);
    }
    // An [out] parameter: whatever it held belongs to nobody, so it is not cleared.
    output->parray = array;
    output->vt = VT_BYTE_ARRAY;
    return S_OK;
}

HRESULT ReportCryptFailure(CryptDirection direction) noexcept
{
    return direction == CryptDirection::Encrypt
               ? ReportError(E_CRYPTER_ENCRYPT_FAILED, MSG_ENCRYPT_FAILED)
               : ReportError(E_CRYPTER_DECRYPT_FAILED, MSG_DECRYPT_FAILED);
}

}  // namespace

HRESULT CryptByteArray(RijndaelKey& key, CryptDirection direction, const VARIANT& input,
                       VARIANT* output) noexcept
{
    if (!key.HasKeyBytes())
        return ReportError(E_CRYPTER_KEY_NOT_SET, MSG_KEY_NOT_SET);

    Buffer bytes;
    switch (TakeInputBytes(input, bytes)) {
    case InputOutcome::NoBytes:
        // The array field is cleared too, so VariantClear of the answer is safe.
        output->parray = nullptr;
        output->vt = VT_NO_BYTES;
        return S_OK;
    case InputOutcome::TooLong:
        return ReportCryptFailure(direction);
    case InputOutcome::NoMemory:
        return E_OUTOFMEMORY;
    case InputOutcome::Bytes:
        break;
    }

    EnvelopeCodec codec;
    codec.BindKey(key);
    const auto size = static_cast<std::int32_t>(bytes.size());
    std::int32_t length = 0;
    Buffer result = direction == CryptDirection::Encrypt
                        ? codec.EncryptEnvelope(bytes.data(), size)
                        : codec.DecryptEnvelope(bytes.data(), size, length);
    bytes.Reset();
    if (!result)
        return codec.OutOfMemory() ? E_OUTOFMEMORY : ReportCryptFailure(direction);
    if (direction == CryptDirection::Encrypt)
        return StoreOutputBytes(result.data(), result.size(), output);
    // Decryption returns the plaintext followed by the magic; only L bytes are the answer.
    if (length < 0 || static_cast<std::size_t>(length) > result.size())
        return ReportCryptFailure(direction);
    return StoreOutputBytes(result.data(), static_cast<std::size_t>(length), output);
}

}  // namespace zarnocrypt
