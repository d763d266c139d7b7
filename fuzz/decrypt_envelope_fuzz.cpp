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

    EnvelopeCodec codec;
    codec.BindKey(key);
    std::int32_t length = -1;
    const Buffer plaintext = codec.DecryptEnvelope(data + 1, static_cast<std::int32_t>(size - 1), length);
    if (plaintext) {
        if (length < 0 || static_cast<std::size_t>(length) + 3 != plaintext.size() ||
            std::memcmp(plaintext.data() + length, ENVELOPE_MAGIC, ENVELOPE_MAGIC_SIZE) != 0)
            std::abort();
    } else if (length != -1 && length != 0) {
        std::abort();
    }
    fuzz::CheckKeyStillRoundTrips(key);
    return 0;
}
