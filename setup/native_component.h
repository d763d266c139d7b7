// The 64-bit component on 64-bit Windows. Setup is a 32-bit program: under
// WOW64 its system directory is the 32-bit one, which 64-bit hosts never
// look in. A 64-bit Zarnocrypt.dll shipped in "x64\" of the working
// directory goes into the native system directory, which a 32-bit process
// reaches only through the "Sysnative" alias, and is registered by the
// native regsvr32 there. On 32-bit Windows, or without that file, nothing
// here does anything.
#pragma once
#include <string>

#include "component_copy.h"

// Relative, so that it resolves against the working directory.
inline constexpr char kNativeComponentFileName[] = "x64\\Zarnocrypt.dll";

// Copies and registers the 64-bit DLL when there is one to install;
// Installed also when there was nothing to do. Otherwise as InstallCopy.
// `systemDirectory` is Setup's own (the name the native regsvr32 knows the
// native system directory by).
InstallOutcome InstallNativeComponent(void* dialog, const std::string& systemDirectory);

// As UninstallCopy for the 64-bit DLL; true on 32-bit Windows.
bool UninstallNativeComponent(void* dialog, const std::string& systemDirectory);
