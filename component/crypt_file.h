// EncryptFile and DecryptFile: a whole file through the streamed envelope or
// sealed message, into a destination that is replaced at once or not at all.
#pragma once

#include <windows.h>

#include <cstddef>

#include "crypt_byte_array.h"
#include "rijndael_key.h"

namespace zarnocrypt {

inline constexpr std::size_t FILE_CHUNK_SIZE = std::size_t{1} << 20;

// Encrypts the bytes of the file source into the envelope that EncryptEx
// makes of them (a sealed message when keys are sealed), or decrypts such a
// message, into the file destination, in
// one work buffer of chunkSize bytes (at least the stream's minimum) whatever
// the file's size. The result goes to a new file beside destination, which
// replaces destination only when it is complete; on any failure destination
// is as it was, and a file too large for the format is refused before
// anything is written. Failures: KEY_HAS_NOT_BEEN_SET without a key;
// E_CRYPTER_FILE for a missing path or a file that cannot be read or written,
// its description naming the path and the system's reason; ENCRYPT_FAILED or
// DECRYPT_FAILED for the content, as EncryptEx and DecryptEx answer.
HRESULT CryptFile(const MessageKeys& keys, CryptDirection direction, const wchar_t* source, const wchar_t* destination,
                  std::size_t chunkSize = FILE_CHUNK_SIZE) noexcept;

}  // namespace zarnocrypt
