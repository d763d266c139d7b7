// What the Install and Uninstall buttons do.
#pragma once

enum class StepResult {
    Done,      // the dialog closes and the program ends
    StayOpen,  // nothing was done; the dialog stays as it was
};

StepResult InstallComponent(void* dialog);
StepResult UninstallComponent(void* dialog);
