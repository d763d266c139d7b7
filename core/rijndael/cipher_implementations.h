// The implementations that the table of cipher_path.cpp offers, each in its
// own file. Each transforms count blocks of 4·Nb bytes in place with a
// scheduled key, and may run only where the table finds its processor features.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cpu_features.h"

namespace zarnocrypt {

class RijndaelKey;

namespace cipher_paths {

void PortableEncrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;
void PortableDecrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;

#if ZARNOCRYPT_X86
void AesniEncrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;
void AesniDecrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;
void VaesAvx2Encrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;
void VaesAvx2Decrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;
void VaesAvx512Encrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;
void VaesAvx512Decrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;
#endif

}  // namespace cipher_paths
}  // namespace zarnocrypt
