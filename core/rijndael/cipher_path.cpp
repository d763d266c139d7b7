#include "cipher_path.h"

#include <array>
#include <cstring>
#include <iterator>

#include "cipher_implementations.h"
#include "rijndael_key.h"
#include "rijndael_reference.h"

namespace zarnocrypt {

namespace {

using namespace cipher_paths;

// Only a scheduled key has round keys to read.
template <BlocksFunction RUN>
void Scheduled(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept
{
    if (count != 0 && key.HasSchedule())
        RUN(key, in, out, count);
}

template <void (*BLOCK)(const RijndaelKey&, std::uint8_t*) noexcept>
void EachBlock(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept
{
    const std::size_t bytes = 4 * static_cast<std::size_t>(key.Nb()) * count;
    if (in != out)
        std::memcpy(out, in, bytes);
    for (std::size_t at = 0; at < bytes; at += 4 * static_cast<std::size_t>(key.Nb()))
        BLOCK(key, out + at);
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
const CpuFeatures& Cpu() noexcept
{
    static const CpuFeatures cpu = DetectCpuFeatures();
    return cpu;
}

const Available& Table() noexcept
{
    static const Available available = [] {
        Available table;
        for (const Candidate& candidate : CANDIDATES)
            if (candidate.runsOn(Cpu()))
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

void ScheduleSubWord(std::uint8_t word[4]) noexcept
{
#if ZARNOCRYPT_X86
    if (Cpu().aesni)
        return AesniSubWord(word);
#endif
    PortableSubWord(word);
}

void EncryptBlocks(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept
{
    ChosenImplementation().encrypt(key, in, out, count);
}

void DecryptBlocks(const RijndaelKey& key, const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept
{
    ChosenImplementation().decrypt(key, in, out, count);
}

}  // namespace zarnocrypt
