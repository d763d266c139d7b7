#include "key_text.h"

namespace zarnocrypt {

Status LoadKeyText(RijndaelKey& key, const char* text, std::size_t n) noexcept
{
    if (text == nullptr || n == 0) {
        key.SetKeyBytes(nullptr, 0);
        return Status::Ok;
    }
    key.SetKeyLength(n >= 32 ? 256 : n < 24 ? 128 : 192);
    // Only the first 32 bytes are ever used, so the count may saturate.
    const std::int32_t count = n > 32 ? 32 : static_cast<std::int32_t>(n);
    Status status = key.SetKeyBytes(reinterpret_cast<const std::uint8_t*>(text), count);
    if (status == Status::Ok)
        status = key.BuildSchedule(DEFAULT_BLOCK_LENGTH);
    // A key without its schedule could decrypt but not encrypt: none at all is plainer.
    if (status != Status::Ok)
        key.SetKeyBytes(nullptr, 0);
    return status;
}

}  // namespace zarnocrypt
