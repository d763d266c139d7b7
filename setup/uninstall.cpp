#include "setup_steps.h"

#include <windows.h>

#include "message_box.h"
#include "native_component.h"
#include "regsvr32_runner.h"
#include "setup_paths.h"
#include "setup_texts.h"

// Unregisters and deletes the installed copy, then unregisters a copy in the
// working directory too (which stays), and does the same for the 64-bit DLL
// on 64-bit Windows. Reports nothing but a missing system directory, without
// which regsvr32 can't be found.
StepResult UninstallComponent(void* dialog)
{
    const std::string systemDirectory = SystemDirectory();
    if (systemDirectory.empty()) {
        ShowSetupMessage(dialog, SETUP_MSG_NO_SYSTEM_DIR, MB_OK);
        return StepResult::StayOpen;
    }
    const std::string regsvr32 = Regsvr32Path(systemDirectory);

    const std::string installedCopy = InstalledCopyPath(systemDirectory);
    if (FileExists(installedCopy)) {
        // regsvr32 holds the file while it runs: delete only once it is done.
        // One that is still running after the time limit keeps its file.
        if (RunRegsvr32(dialog, regsvr32, UnregisterParameters(installedCopy)) != Regsvr32Outcome::TimedOut)
            DeleteFileA(installedCopy.c_str());
    }
    if (FileExists(kComponentFileName))
        RunRegsvr32(dialog, regsvr32, UnregisterParameters(kComponentFileName));
    UninstallNativeComponent(dialog, systemDirectory);
    return StepResult::Done;
}
