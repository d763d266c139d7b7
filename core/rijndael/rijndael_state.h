// One cipher block, viewed in place in the caller's buffer.
//
// Block byte r·Nb + c is state row r, column c: rows are laid one after the
// other, not columns as in FIPS-197.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rijndael_key.h"

namespace zarnocrypt {

class RijndaelState {
public:
    // Stores nb unchecked; it must equal the Nb of the attached key's schedule.
    std::int32_t SetBlockLength(std::int32_t nb) noexcept;

    // ERR_NO_KEY (and the previous key kept) when the key has no schedule.
    std::int32_t AttachKey(const RijndaelKey& key) noexcept;

    // The block must hold 4·Nb bytes and outlive the next operation.
    void SetBlock(std::uint8_t* block) noexcept;

    std::int32_t EncryptBlock() noexcept;
    std::int32_t DecryptBlock() noexcept;

    // count consecutive blocks from blocks on, in place, on the fastest cipher
    // path (cipher_path.h); the same result as EncryptBlock or DecryptBlock on
    // each. Needs the attached key; SetBlock is not used.
    std::int32_t EncryptBlocks(std::uint8_t* blocks, std::size_t count) noexcept;
    std::int32_t DecryptBlocks(std::uint8_t* blocks, std::size_t count) noexcept;

private:
    void AddRoundKey(std::int32_t round) noexcept;
    void SubBytesShiftRows() noexcept;
    void InvShiftRowsInvSubBytes() noexcept;
    void MixColumns() noexcept;
    void InvMixColumns() noexcept;

    std::uint8_t* rows_[4] = {};
    const RijndaelKey* key_ = nullptr;
    std::int32_t nb_ = 4;
};

}  // namespace zarnocrypt
