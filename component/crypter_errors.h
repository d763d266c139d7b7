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
inline constexpr HRESULT E_CRYPTER_NOT_ENCRYPTED = static_cast<HRESULT>(0x8004019A);
inline constexpr HRESULT E_CRYPTER_UNREPRESENTABLE = static_cast<HRESULT>(0x8004019B);
inline constexpr HRESULT E_CRYPTER_NOT_BYTES = static_cast<HRESULT>(0x8004019C);
inline constexpr HRESULT E_CRYPTER_TEXT_ENCODING = static_cast<HRESULT>(0x8004019D);
inline constexpr HRESULT E_CRYPTER_INVALID_UTF8 = static_cast<HRESULT>(0x8004019E);
// A file that cannot be read, written or replaced; the message names the path.
inline constexpr HRESULT E_CRYPTER_FILE = static_cast<HRESULT>(0x8004019F);
inline constexpr HRESULT E_CRYPTER_FORMAT = static_cast<HRESULT>(0x800401A0);

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
inline constexpr CrypterFailure NOT_ENCRYPTED{E_CRYPTER_NOT_ENCRYPTED, MSG_NOT_ENCRYPTED};
inline constexpr CrypterFailure UNREPRESENTABLE{E_CRYPTER_UNREPRESENTABLE, MSG_UNREPRESENTABLE};
inline constexpr CrypterFailure NOT_BYTES{E_CRYPTER_NOT_BYTES, MSG_NOT_BYTES};
inline constexpr CrypterFailure TEXT_ENCODING{E_CRYPTER_TEXT_ENCODING, MSG_TEXT_ENCODING};
inline constexpr CrypterFailure INVALID_UTF8{E_CRYPTER_INVALID_UTF8, MSG_INVALID_UTF8};
inline constexpr CrypterFailure FORMAT{E_CRYPTER_FORMAT, MSG_FORMAT};

// Publishes the failure's message as the thread's error record and returns
// its code. The messages are ASCII, so widening is a plain copy.
inline HRESULT ReportFailure(const CrypterFailure& failure) noexcept
{
    wchar_t description[80] = {};
    for (std::size_t i = 0; failure.message[i] != '\0' && i + 1 < sizeof description / sizeof description[0]; ++i)
        description[i] = static_cast<wchar_t>(failure.message[i]);
    return ReportError(failure.code, description);
}

// Every failure that publishes no record of its own (E_POINTER,
// E_OUTOFMEMORY, a conversion error) clears the thread's record, so that a
// caller never reads an earlier call's message as this one's.
inline HRESULT WithoutStaleError(HRESULT result) noexcept
{
    // The interface's own codes, from 0x80040065 to E_CRYPTER_FORMAT, all publish one.
    const bool published = result == E_CRYPTER_CODE_DAMAGED ||
                           (result >= E_CRYPTER_KEY_NOT_SET && result <= E_CRYPTER_FORMAT);
    if (FAILED(result) && !published)
        SetErrorInfo(0, nullptr);
    return result;
}

}  // namespace zarnocrypt
