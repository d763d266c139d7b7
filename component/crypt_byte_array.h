// EncryptEx and DecryptEx, EncryptBytes and DecryptBytes: byte arrays in
// variants through the envelope, or sealed messages.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <span>

#include "rijndael_key.h"

namespace zarnocrypt {

enum class CryptDirection { Encrypt, Decrypt };

// What a byte or file method works with: the cipher key of the envelope and,
// when sealed, the key text's UTF-8 bytes, whole: new messages are then
// sealed, and both formats are read, told apart by the magic.
struct MessageKeys {
    RijndaelKey& cipher;
    bool sealed = false;
    std::span<const std::uint8_t> keyText = {};
};

inline constexpr VARTYPE VT_BYTE_ARRAY = VT_ARRAY | VT_I1;    // 0x2010
inline constexpr VARTYPE VT_NO_BYTES = VT_ARRAY | VT_NULL;    // 0x2001

// Input bytes are the elements of a one-dimensional VT_ARRAY|VT_I1 held by
// value; anything else, an array of more than one dimension included, is
// "no bytes": output type 0x2001 with a null array and S_OK. Results are a
// new one-dimensional VT_I1 array with lower bound 0. On failure the output
// is untouched. output must not be null.
HRESULT CryptByteArray(RijndaelKey& key, CryptDirection direction, const VARIANT& input,
                       VARIANT* output) noexcept;

// The same messages for the arrays every automation host can build: a
// one-dimensional array of VT_UI1 or VT_I1 (any lower bound), or of variants
// holding whole numbers 0..255, held by value, by reference, or in a
// VT_VARIANT|VT_BYREF. An empty array is an empty message. Anything else
// fails with E_CRYPTER_NOT_BYTES. The result is a new VT_ARRAY|VT_UI1 with
// lower bound 0; on failure it is untouched. result must not be null.
HRESULT CryptBytesVariant(const MessageKeys& keys, CryptDirection direction, const VARIANT& data,
                          VARIANT* result) noexcept;

}  // namespace zarnocrypt
