// The process holds keys and plaintext in memory: a crash must not write
// them to a core dump or a crash report.
#pragma once

namespace zarnocrypt::cli {

// Called first in main; best effort, since a failure changes nothing else.
void TurnOffCoreDumps() noexcept;

}  // namespace zarnocrypt::cli
