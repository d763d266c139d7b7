// Runs regsvr32 hidden and waits for it while the dialog stays painted.
#pragma once
#include <string>

enum class Regsvr32Outcome {
    Succeeded,    // ran and exited with 0
    Failed,       // ran and exited with another code
    NotStarted,   // the shell could not start it
    TimedOut,     // still running when the time limit ran out: ended
};

// regsvr32 loads the DLL and calls into it; a DLL that hangs must not hang
// Setup for ever, and two minutes is far beyond any registration (a test
// build shortens it). A regsvr32 still running when it runs out is ended.
#ifndef SETUP_REGSVR32_TIME_LIMIT_MS
#define SETUP_REGSVR32_TIME_LIMIT_MS 120000
#endif
inline constexpr unsigned long kRegsvr32TimeLimitMs = SETUP_REGSVR32_TIME_LIMIT_MS;

// Starts "<regsvr32> <parameters>" with the verb "open" and a hidden window
// and waits for it, dispatching messages meanwhile. `dialog` is disabled
// during the wait so that no second command can start.
Regsvr32Outcome RunRegsvr32(void* dialog, const std::string& regsvr32, const std::string& parameters);
