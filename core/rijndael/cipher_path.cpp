#include "cipher_path.h"

#include <atomic>

#include "cpu_features.h"
#include "rijndael_key.h"
#include "rijndael_state.h"

namespace zarnocrypt {

namespace {

constexpr int NOT_CHOSEN = -1;

// Detected once; a forced path overrides it. Relaxed atomics: any thread may
// read the choice, and every value it can see is a valid path.
std::atomic<int> g_forced{NOT_CHOSEN};

const CpuFeatures& Features() noexcept
{
    static const CpuFeatures features = DetectCpuFeatures();
    return features;
}

CipherPath Fastest() noexcept
{
    static const CipherPath fastest = [] {
        for (CipherPath path : {CipherPath::Avx512Vaes, CipherPath::Avx2Vaes, CipherPath::Ssse3Aesni})
            if (CipherPathMissing(path) == nullptr)
                return path;
        return CipherPath::Portable;
    }();
    return fastest;
}

void ReferenceBlocks(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count, bool encrypt) noexcept
{
    RijndaelState state;
    state.SetBlockLength(key.Nb());
    state.AttachKey(key);
    const std::size_t blockBytes = 4 * static_cast<std::size_t>(key.Nb());
    for (std::size_t i = 0; i < count; ++i) {
        state.SetBlock(blocks + i * blockBytes);
        if (encrypt)
            state.EncryptBlock();
        else
            state.DecryptBlock();
    }
}

}  // namespace

const char* CipherPathName(CipherPath path) noexcept
{
    switch (path) {
    case CipherPath::Reference:
        return "reference";
    case CipherPath::Portable:
        return "portable";
    case CipherPath::Ssse3Aesni:
        return "ssse3-aesni";
    case CipherPath::Avx2Vaes:
        return "avx2-vaes";
    case CipherPath::Avx512Vaes:
        return "avx512-vaes";
    }
    return "unknown";
}

const char* CipherPathMissing(CipherPath path) noexcept
{
    const CpuFeatures& cpu = Features();
    switch (path) {
    case CipherPath::Reference:
    case CipherPath::Portable:
        return nullptr;
    case CipherPath::Ssse3Aesni:
        return cpu.ssse3 && cpu.aesni ? nullptr : "no SSSE3 or AES-NI";
    case CipherPath::Avx2Vaes:
        return cpu.avx2 && cpu.vaes && cpu.aesni ? nullptr : "no AVX2 or VAES, or no OS support for YMM state";
    case CipherPath::Avx512Vaes:
        return cpu.avx512vbmi && cpu.vaes && cpu.aesni
                   ? nullptr
                   : "no AVX-512 BW/VBMI or VAES, or no OS support for ZMM state";
    }
    return "unknown path";
}

CipherPath ActiveCipherPath() noexcept
{
    const int forced = g_forced.load(std::memory_order_relaxed);
    return forced == NOT_CHOSEN ? Fastest() : static_cast<CipherPath>(forced);
}

bool SetCipherPath(CipherPath path) noexcept
{
    if (CipherPathMissing(path) != nullptr)
        return false;
    g_forced.store(static_cast<int>(path), std::memory_order_relaxed);
    return true;
}

void ResetCipherPath() noexcept
{
    g_forced.store(NOT_CHOSEN, std::memory_order_relaxed);
}

void EncryptBlocks(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept
{
    if (count == 0 || !key.HasSchedule())
        return;
    switch (ActiveCipherPath()) {
    case CipherPath::Reference:
        return ReferenceBlocks(key, blocks, count, true);
    case CipherPath::Portable:
        return cipher_paths::PortableEncrypt(key, blocks, count);
    case CipherPath::Ssse3Aesni:
        return cipher_paths::AesniEncrypt(key, blocks, count);
    case CipherPath::Avx2Vaes:
        return cipher_paths::VaesAvx2Encrypt(key, blocks, count);
    case CipherPath::Avx512Vaes:
        return cipher_paths::VaesAvx512Encrypt(key, blocks, count);
    }
}

void DecryptBlocks(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept
{
    if (count == 0 || !key.HasSchedule())
        return;
    switch (ActiveCipherPath()) {
    case CipherPath::Reference:
        return ReferenceBlocks(key, blocks, count, false);
    case CipherPath::Portable:
        return cipher_paths::PortableDecrypt(key, blocks, count);
    case CipherPath::Ssse3Aesni:
        return cipher_paths::AesniDecrypt(key, blocks, count);
    case CipherPath::Avx2Vaes:
        return cipher_paths::VaesAvx2Decrypt(key, blocks, count);
    case CipherPath::Avx512Vaes:
        return cipher_paths::VaesAvx512Decrypt(key, blocks, count);
    }
}

}  // namespace zarnocrypt
