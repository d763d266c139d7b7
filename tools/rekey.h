// rekey: stored messages, found by their content in files and folders,
// decrypted with an old key and encrypted again with a new one, in place.
#pragma once

#include "cli_arguments.h"

namespace zarnocrypt::cli {

inline constexpr int EXIT_SKIPPED = 3;

// Sealed messages stay sealed; with toSealed legacy ones become sealed too,
// under the new key or, without one, the old key text. Reports each file on
// standard output ("re-keyed PATH", with dryRun "would re-key PATH", or
// "already sealed PATH" when nothing would change) or standard error ("skipped PATH: reason", or what
// failed). Exit status: 0 all re-keyed, EXIT_SKIPPED when a file was left
// as it was, 1 on a failure (key files, reading, writing).
int RunRekey(const Arguments& arguments);

}  // namespace zarnocrypt::cli
