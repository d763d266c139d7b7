// DecryptText with no key and with a key of each length class (first byte).
#include <cstdlib>
#include <string>

#include "fuzz_keys.h"
#include "text_forms.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarnocrypt;
    if (size == 0)
        return 0;
    RijndaelKey key;
    fuzz::SelectKey(data[0], key);
    const std::string text(data + 1, data + size);

    const DecryptTextResult result = DecryptText(text.c_str(), key);
    switch (result.outcome) {
    case DecryptTextOutcome::Decrypted:
        // L plaintext bytes and the magic, no more.
        if (result.length < 0 || static_cast<std::size_t>(result.length) + 3 != result.plaintext.size())
            std::abort();
        break;
    case DecryptTextOutcome::NoKey:
        if (key.HasKeyBytes())
            std::abort();
        break;
    default:
        if (result.plaintext)
            std::abort();
        break;
    }
    fuzz::CheckKeyStillRoundTrips(key);
    return 0;
}
