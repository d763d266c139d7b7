// Setup: installs Zarnocrypt.dll from the working directory into the system
// directory and registers it, or unregisters and removes it. The command
// line is ignored; the program ends when its one dialog closes.
#include <windows.h>
#include <commctrl.h>

#include "setup_dialog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // Loads common controls 6 (the manifest asks for it): themed dialogs.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    RunSetupDialog(instance);
    return 0;
}
