// libmcrypt's "rijndael-128/192/256" (ECB) as an independent oracle for every
// (Nk, Nb) cell; the one cell that is not Rijndael, Nk = 4 with Nb = 6, runs
// 10 rounds where libmcrypt runs 12 and must differ from it.
#include <gtest/gtest.h>
#include <mcrypt.h>

#include "hex.h"
#include "rijndael_key.h"
#include "rijndael_state.h"
#include "status.h"

namespace zarnocrypt {
namespace {

using namespace test;

Bytes McryptEncrypt(Bytes key, Bytes block)
{
    std::string algorithm = "rijndael-" + std::to_string(block.size() * 8);
    MCRYPT td = mcrypt_module_open(algorithm.data(), nullptr, const_cast<char*>("ecb"), nullptr);
    EXPECT_TRUE(td != MCRYPT_FAILED) << algorithm;
    if (td == MCRYPT_FAILED)
        return {};
    EXPECT_EQ(mcrypt_generic_init(td, key.data(), static_cast<int>(key.size()), nullptr), 0);
    mcrypt_generic(td, block.data(), static_cast<int>(block.size()));
    mcrypt_generic_deinit(td);
    mcrypt_module_close(td);
    return block;
}

class McryptOracle : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(McryptOracle, AgreesOnRandomKeysAndBlocks)
{
    const auto [nk, nb] = GetParam();
    const bool rijndael = !(nk == 4 && nb == 6);
    std::mt19937 random(20261206);
    for (int trial = 0; trial < 64; ++trial) {
        const Bytes raw = RandomBytes(random, 4u * nk);
        const Bytes plain = RandomBytes(random, 4u * nb);
        RijndaelKey key;
        ASSERT_EQ(key.SetKeyLength(nk * 32), STATUS_OK);
        key.SetKeyBytes(raw.data(), static_cast<std::int32_t>(raw.size()));
        ASSERT_EQ(key.BuildSchedule(nb), STATUS_OK);
        ASSERT_EQ(key.Nr(), rijndael ? std::max(nk, nb) + 6 : 10);
        RijndaelState state;
        state.SetBlockLength(nb);
        ASSERT_EQ(state.AttachKey(key), STATUS_OK);

        Bytes block = ColumnsToRows(plain, nb);
        state.SetBlock(block.data());
        state.EncryptBlock();
        const std::string ours = ToHex(RowsToColumns(block, nb)), theirs = ToHex(McryptEncrypt(raw, plain));
        if (rijndael)
            EXPECT_EQ(ours, theirs) << "key " << ToHex(raw) << " block " << ToHex(plain);
        else
            EXPECT_NE(ours, theirs);
        state.DecryptBlock();
        EXPECT_EQ(block, ColumnsToRows(plain, nb));
    }
}

INSTANTIATE_TEST_SUITE_P(AllCells, McryptOracle,
                         ::testing::Combine(::testing::Values(4, 6, 8), ::testing::Values(4, 6, 8)),
                         [](const auto& p) {
                             return "Nk" + std::to_string(std::get<0>(p.param)) + "Nb" + std::to_string(std::get<1>(p.param));
                         });

}  // namespace
}  // namespace zarnocrypt
