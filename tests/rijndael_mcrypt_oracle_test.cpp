// libmcrypt's "rijndael-128/192/256" (ECB) as an independent oracle for every
// key and block length whose round count is Rijndael's own. libmcrypt lays
// block byte r + 4c on state cell (r, c); ours is byte r·Nb + c.
#include <gtest/gtest.h>
#include <mcrypt.h>

#include <random>
#include <string>
#include <vector>

#include "hex.h"
#include "rijndael_key.h"
#include "rijndael_state.h"
#include "status.h"

namespace zarnocrypt {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ColumnsToRows(const Bytes& block, int nb)
{
    Bytes out(block.size());
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < nb; ++c)
            out[r * nb + c] = block[r + 4 * c];
    return out;
}

Bytes RowsToColumns(const Bytes& block, int nb)
{
    Bytes out(block.size());
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < nb; ++c)
            out[r + 4 * c] = block[r * nb + c];
    return out;
}

Bytes McryptEncrypt(const Bytes& key, Bytes block)
{
    const std::string algorithm = "rijndael-" + std::to_string(block.size() * 8);
    MCRYPT td = mcrypt_module_open(const_cast<char*>(algorithm.c_str()), nullptr,
                                   const_cast<char*>("ecb"), nullptr);
    EXPECT_TRUE(td != MCRYPT_FAILED) << algorithm;
    if (td == MCRYPT_FAILED)
        return {};
    Bytes keyCopy = key;
    EXPECT_EQ(mcrypt_generic_init(td, keyCopy.data(), static_cast<int>(keyCopy.size()), nullptr), 0);
    mcrypt_generic(td, block.data(), static_cast<int>(block.size()));
    mcrypt_generic_deinit(td);
    mcrypt_module_close(td);
    return block;
}

struct Cell {
    int nk;
    int nb;
};

class McryptOracle : public ::testing::TestWithParam<Cell> {
protected:
    Bytes RandomBytes(std::size_t n)
    {
        Bytes bytes(n);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random_());
        return bytes;
    }

    void Schedule(const Bytes& raw)
    {
        ASSERT_EQ(key_.SetKeyLength(GetParam().nk * 32), STATUS_OK);
        key_.SetKeyBytes(raw.data(), static_cast<std::int32_t>(raw.size()));
        ASSERT_EQ(key_.BuildSchedule(GetParam().nb), STATUS_OK);
        state_.SetBlockLength(GetParam().nb);
        ASSERT_EQ(state_.AttachKey(key_), STATUS_OK);
    }

    Bytes Encrypt(Bytes block)
    {
        state_.SetBlock(block.data());
        state_.EncryptBlock();
        return block;
    }

    Bytes Decrypt(Bytes block)
    {
        state_.SetBlock(block.data());
        state_.DecryptBlock();
        return block;
    }

    std::mt19937 random_{20261206};
    RijndaelKey key_;
    RijndaelState state_;
};

TEST_P(McryptOracle, AgreesOnRandomKeysAndBlocks)
{
    const auto [nk, nb] = GetParam();
    for (int trial = 0; trial < 64; ++trial) {
        const Bytes raw = RandomBytes(4u * nk);
        const Bytes plain = RandomBytes(4u * nb);
        Schedule(raw);
        const Bytes ours = Encrypt(ColumnsToRows(plain, nb));
        EXPECT_EQ(test::ToHex(RowsToColumns(ours, nb)), test::ToHex(McryptEncrypt(raw, plain)))
            << "key " << test::ToHex(raw) << " block " << test::ToHex(plain);
        EXPECT_EQ(Decrypt(ours), ColumnsToRows(plain, nb));
    }
}

INSTANTIATE_TEST_SUITE_P(RijndaelRoundCounts, McryptOracle,
                         ::testing::Values(Cell{4, 4}, Cell{6, 4}, Cell{8, 4}, Cell{6, 6},
                                           Cell{8, 6}, Cell{4, 8}, Cell{6, 8}, Cell{8, 8}),
                         [](const auto& p) {
                             return "Nk" + std::to_string(p.param.nk) + "Nb" +
                                    std::to_string(p.param.nb);
                         });

// The one cell that is not Rijndael: 10 rounds where libmcrypt runs 12.
class TenRoundCell : public McryptOracle {};

TEST_P(TenRoundCell, RoundTripsButDiffersFromTwelveRoundRijndael)
{
    for (int trial = 0; trial < 64; ++trial) {
        const Bytes raw = RandomBytes(16);
        const Bytes plain = RandomBytes(24);
        Schedule(raw);
        ASSERT_EQ(key_.Nr(), 10);
        const Bytes ours = Encrypt(ColumnsToRows(plain, 6));
        EXPECT_NE(RowsToColumns(ours, 6), McryptEncrypt(raw, plain));
        EXPECT_EQ(Decrypt(ours), ColumnsToRows(plain, 6));
    }
}

INSTANTIATE_TEST_SUITE_P(Nk4Nb6, TenRoundCell, ::testing::Values(Cell{4, 6}));

}  // namespace
}  // namespace zarnocrypt
