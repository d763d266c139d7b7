// The one outcome type of the core: every operation that can fail returns a
// Status, and each way to fail has its own value, so callers (the COM
// boundary, the command-line tool) choose their message from it alone.
#pragma once

#include <cstdint>

namespace zarnocrypt {

enum class Status : std::int32_t {
    Ok = 0,
    KeyLength = 403,  // a key length other than 128, 192 or 256 bits, or a message's Nk not the key's
    NoKey = 406,      // no key bytes, or no schedule to work with
    NoMemory = 407,   // an allocation failed; nothing was changed or handed out
    BadHeader,        // a message too short for its header, a block length other than 4, 6 or 8,
                      // or a plaintext length of 2^31 or more
    Fingerprint,      // the message was made with another key
    Size,             // the message's size does not match its header
    Magic,            // the magic did not come out: wrong key or damaged blocks
    TooLarge,         // the result would exceed the format's 32-bit sizes
    NotMarked,        // text without the markers of an encrypted string
    AlreadyMarked,    // text that is already an encrypted string
    Damaged,          // marked text whose body is not a message
    Io,               // the caller's byte source or sink failed; it keeps the reason
    Unauthentic,      // a sealed message changed, reordered, cut short or under another key
};

}  // namespace zarnocrypt
