#include "key_text.h"

namespace zarnocrypt {

Status LoadKeyText(RijndaelKey& key, const char* text, std::size_t n) noexcept
{
    Status status = key.SetKeyText(text, n);
    if (status != Status::Ok || !key.HasKeyBytes())
        return status;
    status = key.BuildSchedule(DEFAULT_BLOCK_LENGTH);
    // A key without its schedule could decrypt but not encrypt: none at all is plainer.
    if (status != Status::Ok)
        key.SetKeyBytes(nullptr, 0);
    return status;
}

}  // namespace zarnocrypt
