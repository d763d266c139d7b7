#include "setup_paths.h"

#include <io.h>
#include <windows.h>

std::string SystemDirectory()
{
    char directory[MAX_PATH + 1];  // 261 characters, terminator included
    const UINT length = GetSystemDirectoryA(directory, sizeof directory);
    // A length beyond the buffer is the size it would need: a failure too.
    if (length == 0 || length >= sizeof directory)
        return {};
    return std::string(directory, length);
}

std::string InstalledCopyPath(const std::string& systemDirectory)
{
    return systemDirectory + "\\" + kComponentFileName;
}

std::string Regsvr32Path(const std::string& systemDirectory)
{
    return systemDirectory + "\\regsvr32.exe";
}

std::string RegisterParameters(const std::string& dllPath)
{
    return "/s  \"" + dllPath + "\"";
}

std::string UnregisterParameters(const std::string& dllPath)
{
    return "/s /u \"" + dllPath + "\"";
}

bool FileExists(const std::string& path)
{
    return _access(path.c_str(), 0) == 0;
}

bool IsFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FullPath(const std::string& path)
{
    char full[MAX_PATH + 1];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full)
        return {};
    return std::string(full, length);
}
