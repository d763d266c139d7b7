// The operating system's cryptographic random source.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarnocrypt::cli {

// Fills size bytes; false when the system could not supply them.
bool FillRandom(std::uint8_t* bytes, std::size_t size) noexcept;

}  // namespace zarnocrypt::cli
