// The component's own failure messages, which the tool reports unchanged so
// that users of the tool and of the component see the same words.
#pragma once

namespace zarnocrypt::cli {

inline constexpr const char* MSG_CODE_DAMAGED = "Encryption code damaged or type wrong";
inline constexpr const char* MSG_KEY_HAS_NOT_BEEN_SET = "Key has not been set.";
inline constexpr const char* MSG_KEY_NOT_SET = "Key not set.";  // Decrypt's own wording
inline constexpr const char* MSG_CANNOT_DECRYPT = "Cannot decrypt data.";
inline constexpr const char* MSG_CANNOT_ENCRYPT = "Cannot encrypt data.";

}  // namespace zarnocrypt::cli
