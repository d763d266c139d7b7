#include "setup_steps.h"

#include <windows.h>
#include <shellapi.h>

#include "message_box.h"
#include "native_component.h"
#include "regsvr32_runner.h"
#include "setup_paths.h"
#include "setup_texts.h"

namespace {

// Copies the component into the system directory and registers the copy;
// when the copy fails, the file in the working directory is registered in
// place. Only a regsvr32 that ran and exited with 0 counts as success.
bool CopyAndRegister(void* dialog, const std::string& systemDirectory)
{
    std::string dllPath = kComponentFileName;
    const std::string installedCopy = InstalledCopyPath(systemDirectory);
    if (CopyFileA(kComponentFileName, installedCopy.c_str(), FALSE))
        dllPath = installedCopy;
    return RunRegsvr32(dialog, Regsvr32Path(systemDirectory), RegisterParameters(dllPath)) ==
           Regsvr32Outcome::Succeeded;
}

}  // namespace

StepResult InstallComponent(void* dialog)
{
    if (!FileExists(kComponentFileName)) {
        ShowSetupMessage(dialog, std::string(SETUP_MSG_NO_FILE) + kComponentFileName, MB_OK);
        return StepResult::StayOpen;
    }
    // regsvr32 lives in the system directory: without it nothing can be done.
    const std::string systemDirectory = SystemDirectory();
    if (systemDirectory.empty()) {
        ShowSetupMessage(dialog, SETUP_MSG_NO_SYSTEM_DIR, MB_OK);
        return StepResult::StayOpen;
    }

    // On 64-bit Windows the 64-bit DLL, when shipped, is installed too.
    if (!CopyAndRegister(dialog, systemDirectory) || !InstallNativeComponent(dialog, systemDirectory)) {
        ShowSetupMessage(dialog, SETUP_MSG_FAILED, MB_OK);
        return StepResult::Done;
    }
    if (ShowSetupMessage(dialog, SETUP_MSG_SUCCESS, MB_YESNO) == IDYES)
        ShellExecuteA(nullptr, "open", SETUP_WEB_ADDRESS, nullptr, nullptr, SW_SHOWNORMAL);
    return StepResult::Done;
}
