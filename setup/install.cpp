#include "setup_steps.h"

#include <windows.h>
#include <shellapi.h>

#include "component_copy.h"
#include "message_box.h"
#include "native_component.h"
#include "setup_paths.h"
#include "setup_texts.h"

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
    InstallOutcome outcome = InstallCopy(dialog, SystemComponentCopy(systemDirectory));
    if (outcome == InstallOutcome::Installed)
        outcome = InstallNativeComponent(dialog, systemDirectory);
    if (outcome != InstallOutcome::Installed) {
        ShowSetupMessage(dialog, outcome == InstallOutcome::InUse ? SETUP_MSG_IN_USE : SETUP_MSG_FAILED, MB_OK);
        return StepResult::Done;
    }
    if (ShowSetupMessage(dialog, SETUP_MSG_SUCCESS, MB_YESNO) == IDYES)
        ShellExecuteA(nullptr, "open", SETUP_WEB_ADDRESS, nullptr, nullptr, SW_SHOWNORMAL);
    return StepResult::Done;
}
