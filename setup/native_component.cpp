#include "native_component.h"

#include <windows.h>

#include "setup_paths.h"

namespace {

bool RunsUnderWow64()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// "<Windows directory>\Sysnative": the native system directory past the
// file system redirection; "" when the Windows directory is unknown.
std::string NativeSystemDirectoryAlias()
{
    char directory[MAX_PATH + 1];
    const UINT length = GetSystemWindowsDirectoryA(directory, sizeof directory);
    if (length == 0 || length >= sizeof directory)
        return {};
    return std::string(directory, length) + "\\Sysnative";
}

// The native regsvr32 doesn't see the alias: to it the copy lies in the
// system directory, and that path is what it registers.
ComponentCopy NativeCopy(const std::string& alias, const std::string& systemDirectory)
{
    return {kNativeComponentFileName, InstalledCopyPath(alias), InstalledCopyPath(systemDirectory),
            Regsvr32Path(alias)};
}

}  // namespace

InstallOutcome InstallNativeComponent(void* dialog, const std::string& systemDirectory)
{
    if (!RunsUnderWow64() || !FileExists(kNativeComponentFileName))
        return InstallOutcome::Installed;
    const std::string alias = NativeSystemDirectoryAlias();
    if (alias.empty())
        return InstallOutcome::Failed;
    return InstallCopy(dialog, NativeCopy(alias, systemDirectory));
}

bool UninstallNativeComponent(void* dialog, const std::string& systemDirectory)
{
    if (!RunsUnderWow64())
        return true;
    const std::string alias = NativeSystemDirectoryAlias();
    return alias.empty() || UninstallCopy(dialog, NativeCopy(alias, systemDirectory));
}
