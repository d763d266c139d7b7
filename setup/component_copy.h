// One copy of the component: where Setup installs it from and to, and the
// regsvr32 that registers it. The 32-bit DLL and, under WOW64, the 64-bit
// one are installed and removed by the same steps.
#pragma once
#include <string>

struct ComponentCopy {
    std::string source;          // relative to the working directory
    std::string installedCopy;   // the path Setup copies to and deletes
    std::string registeredCopy;  // the same file as this copy's regsvr32 sees it
    std::string regsvr32;
};

enum class InstallOutcome {
    Installed,  // copied (or, with no installed copy, taken in place) and registered
    Failed,     // regsvr32 could not register it
    InUse,      // an installed copy exists and could not be replaced: nothing registered
};

// Zarnocrypt.dll of the working directory into Setup's system directory.
ComponentCopy SystemComponentCopy(const std::string& systemDirectory);

// Copies the source over the installed copy and registers the copy. When
// the copy fails and no installed copy is there, the source is registered
// in place by its full path: a bare name would be resolved by the DLL search
// order, which looks in the system directory first.
InstallOutcome InstallCopy(void* dialog, const ComponentCopy& copy);

// Unregisters the installed copy and deletes it only once that succeeded,
// then unregisters the source in place (which stays). False when the
// installed copy had to be kept; true also when there was none.
bool UninstallCopy(void* dialog, const ComponentCopy& copy);
