// The failure codes of ICrypter, each with the message published with it.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstddef>

#include "messages.h"
#include "report_error.h"

namespace zarnocrypt {

inline constexpr HRESULT E_CRYPTER_CODE_DAMAGED = static_cast<HRESULT>(0x80040065);
inline constexpr HRESULT E_CRYPTER_KEY_NOT_SET = static_cast<HRESULT>(0x80040197);
inline constexpr HRESULT E_CRYPTER_DECRYPT_FAILED = static_cast<HRESULT>(0x80040198);
inline constexpr HRESULT E_CRYPTER_ENCRYPT_FAILED = static_cast<HRESULT>(0x80040199);

inline constexpr wchar_t CRYPTER_PROGID[] = L"Zarnocrypt.Crypter";

struct CrypterFailure {
    HRESULT code;
    const char* message;  // ASCII
};

inline constexpr CrypterFailure CODE_DAMAGED{E_CRYPTER_CODE_DAMAGED, MSG_CODE_DAMAGED};
inline constexpr CrypterFailure KEY_HAS_NOT_BEEN_SET{E_CRYPTER_KEY_NOT_SET, MSG_KEY_HAS_NOT_BEEN_SET};
// Decrypt has always worded the missing key its own way.
inline constexpr CrypterFailure KEY_NOT_SET{E_CRYPTER_KEY_NOT_SET, MSG_KEY_NOT_SET};
inline constexpr CrypterFailure DECRYPT_FAILED{E_CRYPTER_DECRYPT_FAILED, MSG_CANNOT_DECRYPT};
inline constexpr CrypterFailure ENCRYPT_FAILED{E_CRYPTER_ENCRYPT_FAILED, MSG_CANNOT_ENCRYPT};

// Publishes the failure's message as the thread's error record and returns
// its code. The messages are ASCII, so widening is a plain copy.
inline HRESULT ReportFailure(const CrypterFailure& failure) noexcept
{
    wchar_t description[64] = {};
    for (std::size_t i = 0; failure.message[i] != '\0' && i + 1 < sizeof description / sizeof description[0]; ++i)
        description[i] = static_cast<wchar_t>(failure.message[i]);
    return ReportError(failure.code, description);
}

// Every failure that publishes no record of its own (E_POINTER,
// E_OUTOFMEMORY, a conversion error) clears the thread's record, so that a
// caller never reads an earlier call's message as this one's.
inline HRESULT WithoutStaleError(HRESULT result) noexcept
{
    const bool published = result == E_CRYPTER_CODE_DAMAGED || result == E_CRYPTER_KEY_NOT_SET ||
                           result == E_CRYPTER_DECRYPT_FAILED || result == E_CRYPTER_ENCRYPT_FAILED;
    if (FAILED(result) && !published)
        SetErrorInfo(0, nullptr);
    return result;
}

}  // namespace zarnocrypt
