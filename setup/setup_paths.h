// Fixed names and paths of the installation.
#pragma once
#include <string>

// Relative, so that it resolves against the working directory.
inline constexpr char kComponentFileName[] = "Zarnocrypt.dll";

// The Windows system directory, or "" when the system can't tell it.
std::string SystemDirectory();

// "<system directory>\Zarnocrypt.dll".
std::string InstalledCopyPath(const std::string& systemDirectory);

// "<system directory>\regsvr32.exe".
std::string Regsvr32Path(const std::string& systemDirectory);

// regsvr32 splits its command line at blanks: the DLL path is quoted.
std::string RegisterParameters(const std::string& dllPath);
std::string UnregisterParameters(const std::string& dllPath);

// True when the file exists (the C runtime's existence test).
bool FileExists(const std::string& path);

// True when the path names a file, not a folder.
bool IsFile(const std::string& path);

// The path made absolute against the working directory; "" when it can't be
// (regsvr32 then fails to load it).
std::string FullPath(const std::string& path);
