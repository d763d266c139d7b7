#include "native_component.h"

#include <windows.h>

#include "regsvr32_runner.h"
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

}  // namespace

bool InstallNativeComponent(void* dialog, const std::string& systemDirectory)
{
    if (!RunsUnderWow64() || !FileExists(kNativeComponentFileName))
        return true;
    const std::string alias = NativeSystemDirectoryAlias();
    if (alias.empty())
        return false;

    // The native regsvr32 doesn't see the alias: to it the copy lies in
    // the system directory, and that path is what it registers.
    std::string dllPath = kNativeComponentFileName;
    if (CopyFileA(kNativeComponentFileName, InstalledCopyPath(alias).c_str(), FALSE))
        dllPath = InstalledCopyPath(systemDirectory);
    return RunRegsvr32(dialog, Regsvr32Path(alias), RegisterParameters(dllPath)) == Regsvr32Outcome::Succeeded;
}

void UninstallNativeComponent(void* dialog, const std::string& systemDirectory)
{
    if (!RunsUnderWow64())
        return;
    const std::string alias = NativeSystemDirectoryAlias();
    if (alias.empty())
        return;
    const std::string regsvr32 = Regsvr32Path(alias);

    const std::string installedCopy = InstalledCopyPath(alias);
    if (FileExists(installedCopy)) {
        // Deleted only once regsvr32 has let go of it, as the 32-bit copy.
        if (RunRegsvr32(dialog, regsvr32, UnregisterParameters(InstalledCopyPath(systemDirectory))) !=
            Regsvr32Outcome::TimedOut)
            DeleteFileA(installedCopy.c_str());
    }
    if (FileExists(kNativeComponentFileName))
        RunRegsvr32(dialog, regsvr32, UnregisterParameters(kNativeComponentFileName));
}
