// The main dialog: Install, Uninstall, Exit, and the About box.
#pragma once

// Runs the main dialog modally; returns when it closes, however it closed.
void RunSetupDialog(void* instance);
