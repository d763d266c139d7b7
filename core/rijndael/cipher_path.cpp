#include "cipher_path.h"

#include <array>
#include <iterator>

#include "cipher_implementations.h"
#include "rijndael_key.h"
#include "rijndael_reference.h"

namespace zarnocrypt {

namespace {

using namespace cipher_paths;

// Only a scheduled key has round keys to read.
template <BlocksFunction RUN>
void Scheduled(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept
{
    if (count != 0 && key.HasSchedule())
        RUN(key, blocks, count);
}

template <void (*BLOCK)(const RijndaelKey&, std::uint8_t*) noexcept>
void EachBlock(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept
{
    const std::size_t blockBytes = 4 * static_cast<std::size_t>(key.Nb());
    for (std::size_t i = 0; i < count; ++i)
        BLOCK(key, blocks + i * blockBytes);
}

bool Anywhere(const CpuFeatures&) noexcept { return true; }

#if ZARNOCRYPT_X86
bool HasAesni(const CpuFeatures& cpu) noexcept { return cpu.ssse3 && cpu.aesni; }
bool HasAvx2Vaes(const CpuFeatures& cpu) noexcept { return cpu.avx2 && cpu.vaes && cpu.aesni; }
bool HasAvx512Vaes(const CpuFeatures& cpu) noexcept { return cpu.avx512vbmi && cpu.vaes && cpu.aesni; }
#endif

struct Candidate {
    bool (*runsOn)(const CpuFeatures&) noexcept;
    CipherImplementation implementation;
};

// Best first. The portable one runs anywhere, so the reference is never chosen.
constexpr Candidate CANDIDATES[] = {
#if ZARNOCRYPT_X86
    {HasAvx512Vaes, {"avx512-vaes", true, Scheduled<VaesAvx512Encrypt>, Scheduled<VaesAvx512Decrypt>}},
    {HasAvx2Vaes, {"avx2-vaes", true, Scheduled<VaesAvx2Encrypt>, Scheduled<VaesAvx2Decrypt>}},
    {HasAesni, {"ssse3-aesni", true, Scheduled<AesniEncrypt>, Scheduled<AesniDecrypt>}},
#endif
    {Anywhere, {"portable", false, Scheduled<PortableEncrypt>, Scheduled<PortableDecrypt>}},
    {Anywhere, {"reference", false, Scheduled<EachBlock<EncryptBlock>>, Scheduled<EachBlock<DecryptBlock>>}},
};

struct Available {
    std::array<CipherImplementation, std::size(CANDIDATES)> list{};
    std::size_t count = 0;
};

// Detected once; the answer cannot change while the process runs.
const Available& Table() noexcept
{
    static const Available available = [] {
        const CpuFeatures cpu = DetectCpuFeatures();
        Available table;
        for (const Candidate& candidate : CANDIDATES)
            if (candidate.runsOn(cpu))
                table.list[table.count++] = candidate.implementation;
        return table;
    }();
    return available;
}

}  // namespace

std::span<const CipherImplementation> AvailableImplementations() noexcept
{
    return {Table().list.data(), Table().count};
}

const CipherImplementation& ChosenImplementation() noexcept
{
    return Table().list[0];
}

void EncryptBlocks(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept
{
    ChosenImplementation().encrypt(key, blocks, count);
}

void DecryptBlocks(const RijndaelKey& key, std::uint8_t* blocks, std::size_t count) noexcept
{
    ChosenImplementation().decrypt(key, blocks, count);
}

}  // namespace zarnocrypt
