// Base64Decode on any text; what it yields must survive an encode/decode round trip.
#include <cstdlib>
#include <cstring>
#include <string>

#include "base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarnocrypt;
    const std::string text(data, data + size);  // NUL-terminated copy
    const Buffer decoded = Base64Decode(text.c_str());
    if (!decoded || decoded.size() > size)
        std::abort();

    const std::uint32_t lineLength = size > 0 ? data[0] % 80 : 0;
    const Buffer encoded =
        Base64Encode(decoded.data(), static_cast<std::uint32_t>(decoded.size()), lineLength);
    if (!encoded)
        std::abort();
    const Buffer again = Base64Decode(reinterpret_cast<const char*>(encoded.data()));
    if (!again || again.size() != decoded.size() ||
        std::memcmp(again.data(), decoded.data(), decoded.size()) != 0)
        std::abort();
    return 0;
}
