#include "sealed_header.h"

#include <algorithm>

namespace zarnocrypt {
namespace {

constexpr std::uint8_t MAGIC[4] = {'Z', 'Q', 'V', '2'};
constexpr std::size_t SALT_AT = 8;
constexpr std::size_t NONCE_AT = SALT_AT + SEALED_SALT_SIZE;

}  // namespace

SealedHeaderBytes StoreSealedHeader(const SealedHeader& header) noexcept
{
    SealedHeaderBytes bytes{};
    std::copy_n(MAGIC, sizeof MAGIC, bytes.begin());
    bytes[4] = SEALED_VERSION;
    bytes[5] = header.iterations;
    bytes[6] = header.log2Memory;
    bytes[7] = header.lanes;
    std::copy(header.salt.begin(), header.salt.end(), bytes.begin() + SALT_AT);
    std::copy(header.nonce.begin(), header.nonce.end(), bytes.begin() + NONCE_AT);
    return bytes;
}

Status LoadSealedHeader(std::span<const std::uint8_t, SEALED_HEADER_SIZE> bytes, SealedHeader& header) noexcept
{
    if (!std::equal(MAGIC, MAGIC + sizeof MAGIC, bytes.begin()) || bytes[4] != SEALED_VERSION ||
        !Argon2ParametersAllowed(bytes[5], bytes[6], bytes[7]))
        return Status::BadHeader;
    header.iterations = bytes[5];
    header.log2Memory = bytes[6];
    header.lanes = bytes[7];
    std::copy_n(bytes.begin() + SALT_AT, SEALED_SALT_SIZE, header.salt.begin());
    std::copy_n(bytes.begin() + NONCE_AT, SEALED_NONCE_SIZE, header.nonce.begin());
    return Status::Ok;
}

Status DeriveSealedMasterKey(std::span<const std::uint8_t> keyTextUtf8, const SealedHeader& header,
                             std::span<std::uint8_t, SEALED_KEY_SIZE> masterKey) noexcept
{
    return Argon2id(keyTextUtf8, header.salt, header.iterations, header.log2Memory, header.lanes, masterKey);
}

}  // namespace zarnocrypt
