// Setup: installs Zarnocrypt.dll from the working directory into the system
// directory and registers it, or unregisters and removes it. The command
// line is ignored; the program ends when its one dialog closes.
#include <windows.h>
#include <commctrl.h>

#include "setup_dialog.h"

namespace {

// Setup runs elevated, often from a download folder: a DLL planted beside it
// must not be loaded. Older systems lack the function, hence the lookup.
void LoadDllsFromSystemDirectoryOnly()
{
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const FARPROC function = GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    if (function != nullptr)
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(function))(
            LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    LoadDllsFromSystemDirectoryOnly();
    // Loads common controls 6 (the manifest asks for it): themed dialogs.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    RunSetupDialog(instance);
    return 0;
}
