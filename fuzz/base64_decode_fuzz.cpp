// Base64Decode on any text; what it yields must survive an encode/decode round trip.
#include <cstdlib>
#include <cstring>

#include "base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarnocrypt;
    const char* text = reinterpret_cast<const char*>(data);
    Buffer decoded;
    if (Base64Decode(text, size, decoded) != Status::Ok || decoded.size() > size)
        std::abort();

    const std::uint32_t lineLength = size > 0 ? data[0] % 80 : 0;
    Buffer encoded;
    Buffer again;
    if (Base64Encode(decoded.data(), static_cast<std::uint32_t>(decoded.size()), lineLength, encoded) != Status::Ok ||
        Base64Decode(reinterpret_cast<const char*>(encoded.data()), encoded.size(), again) != Status::Ok ||
        again.size() != decoded.size() || std::memcmp(again.data(), decoded.data(), decoded.size()) != 0)
        std::abort();
    return 0;
}
