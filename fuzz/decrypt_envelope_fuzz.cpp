// DecryptEnvelope on any bytes under a key of each length class (first byte),
// including the block-length switch that stays in the key.
#include <cstdlib>
#include <cstring>

#include "envelope.h"
#include "fuzz_keys.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarnocrypt;
    if (size == 0)
        return 0;
    RijndaelKey key;
    fuzz::SelectKey(data[0], key);

    Buffer plaintext;
    const Status status = DecryptEnvelope(key, data + 1, size - 1, plaintext);
    // L plaintext bytes, then the magic inside the same allocation; nothing on failure.
    if (status == Status::Ok ? std::memcmp(plaintext.end(), ENVELOPE_MAGIC, ENVELOPE_MAGIC_SIZE) != 0
                             : static_cast<bool>(plaintext))
        std::abort();
    fuzz::CheckKeyStillRoundTrips(key);
    return 0;
}
