// The implementations that the table of cipher_path.cpp offers, each in its
// own file. Each transforms count blocks of 4·Nb bytes from in to out (the
// same buffer or apart) with a scheduled key, and may run only where the table finds its processor features.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cpu_features.h"

namespace zarnocrypt {

class RijndaelKey;

namespace cipher_paths {

// SubWord of the key schedule: through the S-box, or through the AES round
// instruction, which reads no table at an address taken from the key.
void PortableSubWord(std::uint8_t word[4]) noexcept;
#if ZARNOCRYPT_X86
void AesniSubWord(std::uint8_t word[4]) noexcept;
#endif

void PortableEncrypt(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept;
void PortableDecrypt(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept;

#if ZARNOCRYPT_X86
void AesniEncrypt(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept;
void AesniDecrypt(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept;
void VaesAvx2Encrypt(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept;
void VaesAvx2Decrypt(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept;
void VaesAvx512Encrypt(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept;
void VaesAvx512Decrypt(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept;
#endif

}  // namespace cipher_paths
}  // namespace zarnocrypt
