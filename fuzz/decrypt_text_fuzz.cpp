// DecryptText with no key and with a key of each length class (first byte).
#include <cstdlib>

#include "fuzz_keys.h"
#include "text_forms.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zarnocrypt;
    if (size == 0)
        return 0;
    RijndaelKey key;
    fuzz::SelectKey(data[0], key);

    Buffer plaintext;
    const Status status = DecryptText(reinterpret_cast<const char*>(data + 1), size - 1, key, plaintext);
    if ((status == Status::NoKey && key.HasKeyBytes()) || (status != Status::Ok && plaintext))
        std::abort();
    fuzz::CheckKeyStillRoundTrips(key);
    return 0;
}
