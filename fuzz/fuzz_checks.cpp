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
    Buffer envelope;
    Buffer plaintext;
    if (EncryptEnvelope(key, probe, sizeof probe, envelope) != Status::Ok ||
        DecryptEnvelope(key, envelope.data(), envelope.size(), plaintext) != Status::Ok ||
        plaintext.size() != sizeof probe || std::memcmp(plaintext.data(), probe, sizeof probe) != 0)
        std::abort();
}

}  // namespace zarnocrypt::fuzz
