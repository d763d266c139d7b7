// The registry operations that a registry script stands for, as plain data,
// so the order can be checked without a registry. Key paths are relative to
// the script's root, components joined by a backslash; an empty value name
// is the key's default value.
#pragma once

#include <string>
#include <vector>

#include "registry_script.h"

namespace zarnocrypt {

enum class RegistryMode { Register, Unregister };

enum class RegistryOpKind {
    DeleteTree,   // the key and everything below it, if it exists
    CreateKey,    // with any missing parents; an existing key is kept
    SetValue,
    DeleteValue,  // if it exists
};

struct RegistryOp {
    RegistryOpKind kind;
    std::string keyPath;
    std::string valueName;  // SetValue, DeleteValue
    RegistryValue value;    // SetValue
};

// Register: per key in script order, a ForceRemove or Delete key is deleted
// first (a Delete key then stays deleted); the key is created, its default
// and named values set, then its children follow.
//
// Unregister: per key, its named values are deleted, then its children in
// turn, then the key with its whole subtree, so that keys the script does
// not name never block the removal. A key is kept if it is NoRemove or if a
// key kept below it would otherwise go with it; ForceRemove keys always go.
// Delete keys are left alone.
//
// False only when memory ran out; ops is then incomplete.
bool PlanRegistryUpdate(const RegistryScript& script, RegistryMode mode,
                        std::vector<RegistryOp>& ops) noexcept;

}  // namespace zarnocrypt
