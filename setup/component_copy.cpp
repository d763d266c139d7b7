#include "component_copy.h"

#include <windows.h>

#include "regsvr32_runner.h"
#include "setup_paths.h"

namespace {

bool Register(void* dialog, const ComponentCopy& copy, const std::string& dllPath)
{
    return RunRegsvr32(dialog, copy.regsvr32, RegisterParameters(dllPath)) == Regsvr32Outcome::Succeeded;
}

}  // namespace

ComponentCopy SystemComponentCopy(const std::string& systemDirectory)
{
    const std::string installedCopy = InstalledCopyPath(systemDirectory);
    return {kComponentFileName, installedCopy, installedCopy, Regsvr32Path(systemDirectory)};
}

InstallOutcome InstallCopy(void* dialog, const ComponentCopy& copy)
{
    bool registered = false;
    if (CopyFileA(copy.source.c_str(), copy.installedCopy.c_str(), FALSE))
        registered = Register(dialog, copy, copy.registeredCopy);
    else if (IsFile(copy.installedCopy))
        return InstallOutcome::InUse;  // registering another file would leave the old one in charge
    else
        registered = Register(dialog, copy, FullPath(copy.source));
    return registered ? InstallOutcome::Installed : InstallOutcome::Failed;
}

bool UninstallCopy(void* dialog, const ComponentCopy& copy)
{
    bool removed = true;
    if (FileExists(copy.installedCopy)) {
        // A copy whose registration stays must stay too, or its entries would
        // point at a missing file. regsvr32 has let go of it once it ended.
        removed = RunRegsvr32(dialog, copy.regsvr32, UnregisterParameters(copy.registeredCopy)) ==
                  Regsvr32Outcome::Succeeded;
        if (removed)
            DeleteFileA(copy.installedCopy.c_str());
    }
    if (FileExists(copy.source))
        RunRegsvr32(dialog, copy.regsvr32, UnregisterParameters(FullPath(copy.source)));
    return removed;
}
