// Our registrar: runs a registry script against the registry with advapi32.
// The module's registration exports call UpdateRegistryFromResource.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "registry_plan.h"
#include "registry_script.h"

namespace zarnocrypt {

// What a script that does not parse, or names an unknown %variable%, gives.
inline constexpr HRESULT E_REGISTRY_SCRIPT_INVALID = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

// Runs the operations below root. Register mode stops at the first failure;
// unregister mode goes on removing what it can. Either returns the first
// failure as HRESULT_FROM_WIN32; a key or value that is already gone is none.
HRESULT ApplyRegistryPlan(HKEY root, const std::vector<RegistryOp>& ops, RegistryMode mode) noexcept;

// Parses the UTF-8 script, plans and applies it below root. A script that
// does not parse writes nothing.
HRESULT UpdateRegistryFromText(HKEY root, std::string_view script, bool registering,
                               const ReplacementMap& replacements) noexcept;

// The module's entry: the "REGISTRY" resource resourceId of module, run
// below HKEY_CLASSES_ROOT, with %MODULE% set to the module's full path in
// addition to the caller's replacements.
HRESULT UpdateRegistryFromResource(HMODULE module, UINT resourceId, bool registering,
                                   const ReplacementMap& replacements) noexcept;

// Adds name -> the braced registry form of guid ("{XXXXXXXX-XXXX-...}").
// False only when memory ran out.
bool AddGuidReplacement(ReplacementMap& replacements, const char* name, REFGUID guid) noexcept;

}  // namespace zarnocrypt
