// Which implementation of the block cipher transforms the envelope's blocks.
//
// Every path gives the reference cipher's output bit for bit. The best path
// that the processor and the operating system support is chosen once; tests
// and the benchmark may force another.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarnocrypt {

class RijndaelKey;

enum class CipherPath {
    Reference,    // the byte-oriented cipher of rijndael_state.cpp, block by block
    Portable,     // rows as 64-bit words, table-driven S-box
    Ssse3Aesni,   // AES round instructions on 128-bit registers (constant-time)
    Avx2Vaes,     // the same on 256-bit registers (constant-time)
    Avx512Vaes,   // 512-bit registers, byte permutes by vpermb (constant-time)
};

inline constexpr CipherPath ALL_CIPHER_PATHS[] = {
    CipherPath::Reference, CipherPath::Portable, CipherPath::Ssse3Aesni,
    CipherPath::Avx2Vaes, CipherPath::Avx512Vaes,
};

// "reference", "portable", "ssse3-aesni", "avx2-vaes", "avx512-vaes".
const char* CipherPathName(CipherPath path) noexcept;

// Null when the path can run here, else what the processor or system lacks.
const char* CipherPathMissing(CipherPath path) noexcept;

// The path in use: the forced one, or the fastest available.
CipherPath ActiveCipherPath() noexcept;

// For tests and benchmarks: forces an available path (false, and nothing
// changes, for one that is not); ResetCipherPath returns to the fastest.
bool SetCipherPath(CipherPath path) noexcept;
void ResetCipherPath() noexcept;

// count blocks of 4·Nb bytes in place, with the key's scheduled Nb.
void EncryptBlocks(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;
void DecryptBlocks(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;

// The paths themselves; each expects a scheduled key and its own CPU features.
namespace cipher_paths {
void PortableEncrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;
void PortableDecrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;
void AesniEncrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;
void AesniDecrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;
void VaesAvx2Encrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;
void VaesAvx2Decrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;
void VaesAvx512Encrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;
void VaesAvx512Decrypt(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept;
}  // namespace cipher_paths

}  // namespace zarnocrypt
