// Every implementation available here against the one-block reference: all
// (Nk, Nb) cells, block counts around every unit and group boundary,
// unaligned buffers, and no byte written past the last block.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "cipher_implementations.h"
#include "cipher_path.h"
#include "rijndael_key.h"
#include "rijndael_reference.h"
#include "rijndael_tables.h"

namespace zarnocrypt {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t GUARD = 64;
constexpr std::uint8_t GUARD_BYTE = 0xA5;

// Single blocks, partial and whole units (up to 4 blocks), pairs of units,
// groups of 16 units, and beyond.
const std::size_t BLOCK_COUNTS[] = {1, 2, 3, 4, 5, 7, 8, 9, 11, 12, 15, 16, 17, 31, 32, 33,
                                    63, 64, 65, 71, 72, 73, 100, 257};

Bytes RandomBytes(std::mt19937& random, std::size_t n)
{
    Bytes bytes(n);
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<std::uint8_t>(random()); });
    return bytes;
}

Bytes Reference(const RijndaelKey& key, Bytes blocks, bool decrypt)
{
    for (std::size_t at = 0; at < blocks.size(); at += 4 * key.Nb())
        decrypt ? DecryptBlock(key, blocks.data() + at) : EncryptBlock(key, blocks.data() + at);
    return blocks;
}

// The blocks placed at offset in a larger buffer whose bytes after them must
// stay untouched, transformed there in place or from a separate source.
Bytes Transform(BlocksFunction run, const RijndaelKey& key, const Bytes& blocks, std::size_t offset,
                bool inPlace = true)
{
    Bytes buffer(offset + blocks.size() + GUARD, GUARD_BYTE);
    std::uint8_t* at = buffer.data() + offset;
    if (inPlace)
        std::copy(blocks.begin(), blocks.end(), at);
    run(key, inPlace ? at : blocks.data(), at, blocks.size() / (4 * key.Nb()));
    EXPECT_EQ(Bytes(at + blocks.size(), buffer.data() + buffer.size()), Bytes(GUARD, GUARD_BYTE)) << "written past";
    return Bytes(at, at + blocks.size());
}

class Implementations : public ::testing::TestWithParam<CipherImplementation> {};

TEST_P(Implementations, MatchTheReferenceOnEveryCellAndLength)
{
    const CipherImplementation& implementation = GetParam();
    std::mt19937 random(20240611);
    RijndaelKey key;  // rescheduled for each cell, as envelopes do
    for (const int nk : {4, 6, 8})
        for (const int nb : {4, 6, 8}) {
            SCOPED_TRACE(testing::Message() << "Nk " << nk << ", Nb " << nb);
            const Bytes raw = RandomBytes(random, 4 * nk);
            ASSERT_EQ(key.SetKeyLength(32 * nk), Status::Ok);
            ASSERT_EQ(key.SetKeyBytes(raw.data(), static_cast<std::int32_t>(raw.size())), Status::Ok);
            ASSERT_EQ(key.BuildSchedule(nb), Status::Ok);
            for (const std::size_t count : BLOCK_COUNTS) {
                SCOPED_TRACE(testing::Message() << count << " blocks");
                const Bytes plain = RandomBytes(random, count * 4 * nb);
                const std::size_t offset = count % 5;
                const Bytes cipher = Transform(implementation.encrypt, key, plain, offset, count % 2 == 0);
                ASSERT_EQ(cipher, Reference(key, plain, false));
                ASSERT_EQ(Transform(implementation.decrypt, key, cipher, offset), plain);
                const Bytes other = RandomBytes(random, plain.size());
                ASSERT_EQ(Transform(implementation.decrypt, key, other, offset, false), Reference(key, other, true));
            }
        }
}

TEST_P(Implementations, LeaveTheBlocksAloneWithoutASchedule)
{
    RijndaelKey key;
    ASSERT_EQ(key.SetKeyText("bytes but no schedule", 21), Status::Ok);
    const Bytes untouched(2 * 24, 0x5C);
    Bytes blocks = untouched;
    GetParam().encrypt(key, blocks.data(), blocks.data(), 2);
    GetParam().decrypt(key, blocks.data(), blocks.data(), 2);
    EXPECT_EQ(blocks, untouched);
}

INSTANTIATE_TEST_SUITE_P(Available, Implementations,
                         ::testing::ValuesIn(AvailableImplementations().begin(), AvailableImplementations().end()),
                         [](const testing::TestParamInfo<CipherImplementation>& param) {
                             std::string name = param.param.name;
                             std::erase(name, '-');
                             return name;
                         });

TEST(ImplementationTable, BestFirstOnlyWhatRunsHereAndTheReferenceLast)
{
    std::vector<std::string> names;
    for (const CipherImplementation& implementation : AvailableImplementations())
        names.push_back(implementation.name);
    std::vector<std::string> expected;
#if defined(__i386__) || defined(__x86_64__)
    // The compiler's own detection is the independent oracle of what runs here.
    const bool aes = __builtin_cpu_supports("aes") && __builtin_cpu_supports("vaes");
    if (aes && __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw"))
        expected.push_back("avx512-vaes");
    if (aes && __builtin_cpu_supports("avx2"))
        expected.push_back("avx2-vaes");
    if (__builtin_cpu_supports("aes") && __builtin_cpu_supports("ssse3"))
        expected.push_back("ssse3-aesni");
#endif
    expected.insert(expected.end(), {"portable", "reference"});
    EXPECT_EQ(names, expected);
    EXPECT_EQ(&ChosenImplementation(), &AvailableImplementations().front());

    RijndaelKey key;
    key.SetKeyText("the chosen one", 14);
    ASSERT_EQ(key.BuildSchedule(6), Status::Ok);
    const Bytes plain(3 * 24, 0x3C);
    EXPECT_EQ(Transform(EncryptBlocks, key, plain, 1), Reference(key, plain, false));
    EXPECT_EQ(Transform(DecryptBlocks, key, plain, 1), Reference(key, plain, true));
}

// Both forms of the schedule's SubWord, whichever this host chooses: every byte in every position.
TEST(ScheduleSubWord, IsTheSBoxOnEveryByte)
{
    for (int b = 0; b < 256; ++b) {
        const std::uint8_t word[4] = {std::uint8_t(b), std::uint8_t(b + 67), std::uint8_t(b + 134), std::uint8_t(b + 201)};
        Bytes expected(word, word + 4), portable(word, word + 4);
        for (std::uint8_t& byte : expected)
            byte = tables::S_BOX[byte];
        cipher_paths::PortableSubWord(portable.data());
        EXPECT_EQ(portable, expected);
#if ZARNOCRYPT_X86
        if (__builtin_cpu_supports("aes")) {
            Bytes aes(word, word + 4);
            cipher_paths::AesniSubWord(aes.data());
            EXPECT_EQ(aes, expected);
        }
#endif
    }
}

}  // namespace
}  // namespace zarnocrypt
