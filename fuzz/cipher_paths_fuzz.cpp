// Every cipher path the processor offers against the byte-oriented reference,
// on every (Nk, Nb) cell: input = Nk selector, Nb selector, 32 key bytes, blocks.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cipher_path.h"
#include "rijndael_key.h"
#include "rijndael_state.h"

namespace {

using namespace zarnocrypt;
using Bytes = std::vector<std::uint8_t>;

Bytes Reference(const RijndaelKey& key, Bytes blocks, bool decrypt)
{
    RijndaelState state;
    state.SetBlockLength(key.Nb());
    state.AttachKey(key);
    const std::size_t blockSize = 4 * static_cast<std::size_t>(key.Nb());
    for (std::size_t offset = 0; offset < blocks.size(); offset += blockSize) {
        state.SetBlock(blocks.data() + offset);
        decrypt ? state.DecryptBlock() : state.EncryptBlock();
    }
    return blocks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t HEADER = 2 + 32;
    if (size < HEADER)
        return 0;
    const std::int32_t nk = 4 + 2 * (data[0] % 3);
    const std::int32_t nb = 4 + 2 * (data[1] % 3);
    RijndaelKey key;
    key.SetKeyLength(nk * 32);
    key.SetKeyBytes(data + 2, 32);
    if (key.BuildSchedule(nb) != 0)
        return 0;

    const std::size_t blockSize = 4 * static_cast<std::size_t>(nb);
    const std::size_t count = (size - HEADER) / blockSize;
    const Bytes plain(data + HEADER, data + HEADER + count * blockSize);
    const Bytes cipher = Reference(key, plain, false);
    if (Reference(key, cipher, true) != plain)
        std::abort();

    for (CipherPath path : ALL_CIPHER_PATHS) {
        if (CipherPathMissing(path) != nullptr || !SetCipherPath(path))
            continue;
        Bytes blocks = plain;
        EncryptBlocks(key, blocks.data(), count);
        if (blocks != cipher)
            std::abort();
        DecryptBlocks(key, blocks.data(), count);
        if (blocks != plain)
            std::abort();
    }
    ResetCipherPath();
    return 0;
}
