// The failure codes of ICrypter and the messages published with them.
#pragma once

#include <windows.h>

namespace zarnocrypt {

inline constexpr HRESULT E_CRYPTER_CODE_DAMAGED = static_cast<HRESULT>(0x80040065);
inline constexpr HRESULT E_CRYPTER_KEY_NOT_SET = static_cast<HRESULT>(0x80040197);
inline constexpr HRESULT E_CRYPTER_DECRYPT_FAILED = static_cast<HRESULT>(0x80040198);
inline constexpr HRESULT E_CRYPTER_ENCRYPT_FAILED = static_cast<HRESULT>(0x80040199);

inline constexpr wchar_t MSG_CODE_DAMAGED[] = L"Encryption code damaged or type wrong";
// Decrypt has always said "Key not set."; every other method the longer form.
inline constexpr wchar_t MSG_KEY_NOT_SET[] = L"Key has not been set.";
inline constexpr wchar_t MSG_KEY_NOT_SET_DECRYPT[] = L"Key not set.";
inline constexpr wchar_t MSG_DECRYPT_FAILED[] = L"Cannot decrypt data.";
inline constexpr wchar_t MSG_ENCRYPT_FAILED[] = L"Cannot encrypt data.";

inline constexpr wchar_t CRYPTER_PROGID[] = L"Zarnocrypt.Crypter";

}  // namespace zarnocrypt
