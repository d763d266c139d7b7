// Status codes of the cipher core: 0 is success.
#pragma once

#include <cstdint>

namespace zarnocrypt {

inline constexpr std::int32_t STATUS_OK = 0;
inline constexpr std::int32_t ERR_KEY_LENGTH = 403;  // key length other than 128, 192 or 256 bits
inline constexpr std::int32_t ERR_NO_KEY = 406;      // no key bytes, or no schedule to attach
inline constexpr std::int32_t ERR_NO_MEMORY = 407;   // the schedule or key buffer could not be allocated

}  // namespace zarnocrypt
