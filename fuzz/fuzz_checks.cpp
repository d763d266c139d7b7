#include <cstdlib>
#include <cstring>

#include "envelope.h"
#include "fuzz_keys.h"

namespace zarnocrypt::fuzz {

void CheckKeyStillRoundTrips(RijndaelKey& key) noexcept
{
    if (!key.HasKeyBytes())
        return;
    static const std::uint8_t probe[] = "round trip after hostile input";
    const std::int32_t probeLength = sizeof probe - 1;

    EnvelopeCodec codec;
    codec.BindKey(key);
    const Buffer envelope = codec.EncryptEnvelope(probe, probeLength);
    if (!envelope)
        std::abort();
    std::int32_t length = -1;
    const Buffer plaintext = codec.DecryptEnvelope(envelope.data(),
                                                   static_cast<std::int32_t>(envelope.size()), length);
    if (!plaintext || length != probeLength || std::memcmp(plaintext.data(), probe, sizeof probe - 1) != 0)
        std::abort();
}

}  // namespace zarnocrypt::fuzz
