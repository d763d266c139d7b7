// The tool's commands on whole inputs: text forms, binary envelopes, inspect.
#pragma once

#include <cstddef>
#include <string>

#include "buffer.h"
#include "byte_io.h"
#include "cli_arguments.h"
#include "key_loading.h"
#include "rijndael_key.h"
#include "text_forms.h"

namespace zarnocrypt::cli {

inline constexpr int EXIT_OK = 0;
inline constexpr int EXIT_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;

struct CommandResult {
    int exitCode = EXIT_OK;
    std::string message;  // on failure: for standard error
    std::string warning;  // on success: for standard error
    Buffer output;        // the bytes to write: on success, and inspect's report on a failed check
};

// The most input bytes a command takes. The encrypting commands stop where
// the envelope would exceed INT32_MAX bytes, the largest message that
// decryption accepts, so that nothing is encrypted that cannot be decrypted.
std::size_t InputLimit(Command command, const RijndaelKey& key) noexcept;

// The commands that, like the component's methods, report a missing key
// before they look at their input.
bool NeedsKeyFirst(Command command) noexcept;

// The lead-byte rule of narrow text of the type: the ANSI code page's on
// Windows for "X", none elsewhere.
const CodePage& TextCodePage(TextType type) noexcept;

// Runs the command of a whole input with the options that apply to it.
CommandResult RunCommand(const Arguments& arguments, InputBytes& input, LoadedKey& key);

// A sealed message of input (a name for messages) that does not open: any
// change, a cut, another key all look alike, by design.
std::string UnauthenticMessage(const std::string& input);

}  // namespace zarnocrypt::cli
