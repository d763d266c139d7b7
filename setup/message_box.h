// Every message of Setup: owned by the dialog, exclamation icon, and the
// program file's name without its extension as caption.
#pragma once
#include <string>

// "Setup" for "C:\...\Setup.exe".
std::string ProgramName();

// Returns the button chosen (IDOK, IDYES, IDNO).
int ShowSetupMessage(void* owner, const std::string& text, unsigned buttons);
