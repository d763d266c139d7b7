// EncryptEx and DecryptEx: byte arrays in variants through the envelope.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "rijndael_key.h"

namespace zarnocrypt {

enum class CryptDirection { Encrypt, Decrypt };

inline constexpr VARTYPE VT_BYTE_ARRAY = VT_ARRAY | VT_I1;    // 0x2010
inline constexpr VARTYPE VT_NO_BYTES = VT_ARRAY | VT_NULL;    // 0x2001

// Input bytes are the elements of a one-dimensional VT_ARRAY|VT_I1 held by
// value; anything else, an array of more than one dimension included, is
// "no bytes": output type 0x2001 with a null array and S_OK. Results are a
// new one-dimensional VT_I1 array with lower bound 0. On failure the output
// is untouched. output must not be null.
HRESULT CryptByteArray(RijndaelKey& key, CryptDirection direction, const VARIANT& input,
                       VARIANT* output) noexcept;

}  // namespace zarnocrypt
