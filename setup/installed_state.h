// Whether the component is registered: the default value of its class key.
#pragma once
#include <string>

// "CLSID\{5586F59A-...}", from the class identifier that widl generates.
std::string InstalledStateKey();

// True when the class key's default value reads into 50 bytes and is not
// empty. Values of 50 characters or more don't fit and count as absent.
bool IsComponentInstalled();
