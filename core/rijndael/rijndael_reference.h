// The reference cipher: one block, byte by byte, exactly as the format
// defines it. Every faster implementation must give its bytes.
//
// Block byte r·Nb + c is state row r, column c: rows are laid one after the
// other, not columns as in FIPS-197.
#pragma once

#include <cstdint>

namespace zarnocrypt {

class RijndaelKey;

// One block of 4·Nb bytes, in place, with the key's scheduled Nb and Nr.
// A key without a schedule leaves the block as it is.
void EncryptBlock(const RijndaelKey& key, std::uint8_t* block) noexcept;
void DecryptBlock(const RijndaelKey& key, std::uint8_t* block) noexcept;

}  // namespace zarnocrypt
