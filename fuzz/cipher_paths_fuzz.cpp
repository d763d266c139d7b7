// Every implementation available here against the one-block reference, on
// every (Nk, Nb) cell: input = Nk selector, Nb selector, 32 key bytes, blocks.
#include <cstdlib>
#include <vector>

#include "cipher_path.h"
#include "rijndael_key.h"
#include "rijndael_reference.h"

namespace {

using namespace zarnocrypt;
using Bytes = std::vector<std::uint8_t>;

Bytes Reference(const RijndaelKey& key, Bytes blocks, bool decrypt)
{
    const std::size_t blockSize = 4 * static_cast<std::size_t>(key.Nb());
    for (std::size_t offset = 0; offset < blocks.size(); offset += blockSize)
        decrypt ? DecryptBlock(key, blocks.data() + offset) : EncryptBlock(key, blocks.data() + offset);
    return blocks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    constexpr std::size_t HEADER = 2 + 32;
    if (size < HEADER)
        return 0;
    const std::int32_t nk = 4 + 2 * (data[0] % 3), nb = 4 + 2 * (data[1] % 3);
    RijndaelKey key;
    key.SetKeyLength(nk * 32);
    key.SetKeyBytes(data + 2, 32);
    if (key.BuildSchedule(nb) != Status::Ok)
        return 0;

    const std::size_t blockSize = 4 * static_cast<std::size_t>(nb), count = (size - HEADER) / blockSize;
    const Bytes plain(data + HEADER, data + HEADER + count * blockSize);
    const Bytes cipher = Reference(key, plain, false);
    if (Reference(key, cipher, true) != plain)
        std::abort();

    for (const CipherImplementation& implementation : AvailableImplementations()) {
        Bytes blocks(plain.size());
        implementation.encrypt(key, plain.data(), blocks.data(), count);
        if (blocks != cipher)
            std::abort();
        implementation.decrypt(key, blocks.data(), blocks.data(), count);
        if (blocks != plain)
            std::abort();
    }
    return 0;
}
