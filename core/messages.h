// The messages that the component and the tool report, word for word:
// users of either see the same text for the same failure. All ASCII, so the
// component widens them by copying.
#pragma once

namespace zarnocrypt {

inline constexpr char MSG_CODE_DAMAGED[] = "Encryption code damaged or type wrong";
inline constexpr char MSG_KEY_HAS_NOT_BEEN_SET[] = "Key has not been set.";
// Decrypt has always said it this shorter way.
inline constexpr char MSG_KEY_NOT_SET[] = "Key not set.";
inline constexpr char MSG_CANNOT_DECRYPT[] = "Cannot decrypt data.";
inline constexpr char MSG_CANNOT_ENCRYPT[] = "Cannot encrypt data.";
inline constexpr char MSG_NOT_ENCRYPTED[] = "Text is not encrypted.";
inline constexpr char MSG_UNREPRESENTABLE[] = "Text has a character that the ANSI code page cannot represent.";
inline constexpr char MSG_NOT_BYTES[] = "Input must be an array of bytes.";
inline constexpr char MSG_TEXT_ENCODING[] = "TextEncoding must be \"ANSI\" or \"UTF-8\".";
inline constexpr char MSG_INVALID_UTF8[] = "Decrypted text is not valid UTF-8.";
inline constexpr char MSG_FORMAT[] = "Format must be \"Legacy\" or \"Sealed\".";

}  // namespace zarnocrypt
