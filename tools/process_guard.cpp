#include "process_guard.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#endif

namespace zarnocrypt::cli {

void TurnOffCoreDumps() noexcept
{
#ifdef _WIN32
    // No "stopped working" dialog, which would offer to send a dump.
    SetErrorMode(GetErrorMode() | SEM_NOGPFAULTERRORBOX);
#else
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
#ifdef __linux__
    // Also keeps other processes of the same user from attaching to read memory.
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
#endif
}

}  // namespace zarnocrypt::cli
