#include "setup_steps.h"

#include <windows.h>

#include "component_copy.h"
#include "message_box.h"
#include "native_component.h"
#include "setup_paths.h"
#include "setup_texts.h"

// Unregisters and deletes the installed copy, then unregisters a copy in the
// working directory too (which stays), and does the same for the 64-bit DLL
// on 64-bit Windows. Says nothing when that went well; a copy that could not
// be unregistered is kept and reported.
StepResult UninstallComponent(void* dialog)
{
    const std::string systemDirectory = SystemDirectory();
    if (systemDirectory.empty()) {
        ShowSetupMessage(dialog, SETUP_MSG_NO_SYSTEM_DIR, MB_OK);
        return StepResult::StayOpen;
    }
    // The 64-bit copy is tried whatever became of the 32-bit one.
    const bool removed = UninstallCopy(dialog, SystemComponentCopy(systemDirectory));
    if (!UninstallNativeComponent(dialog, systemDirectory) || !removed)
        ShowSetupMessage(dialog, SETUP_MSG_NOT_REMOVED, MB_OK);
    return StepResult::Done;
}
