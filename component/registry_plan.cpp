#include "registry_plan.h"

#include <new>

namespace zarnocrypt {
namespace {

std::string ChildPath(const std::string& parent, const std::string& name)
{
    return parent.empty() ? name : parent + '\\' + name;
}

void PlanRegister(const KeyNode& key, const std::string& parent, std::vector<RegistryOp>& ops)
{
    std::string path = ChildPath(parent, key.name);
    if (key.forceRemove || key.deleteKey) ops.push_back({RegistryOpKind::DeleteTree, path, {}, {}});
    if (key.deleteKey) return;
    ops.push_back({RegistryOpKind::CreateKey, path, {}, {}});
    if (key.defaultValue) ops.push_back({RegistryOpKind::SetValue, path, {}, *key.defaultValue});
    for (const NamedValue& named : key.values)
        ops.push_back({RegistryOpKind::SetValue, path, named.name, named.value});
    for (const KeyNode& child : key.children) PlanRegister(child, path, ops);
}

// Returns whether the key stays after unregistration.
bool PlanUnregister(const KeyNode& key, const std::string& parent, std::vector<RegistryOp>& ops)
{
    if (key.deleteKey) return false;
    std::string path = ChildPath(parent, key.name);
    for (const NamedValue& named : key.values)
        ops.push_back({RegistryOpKind::DeleteValue, path, named.name, {}});
    bool keepsChild = false;
    for (const KeyNode& child : key.children) keepsChild |= PlanUnregister(child, path, ops);
    bool kept = !key.forceRemove && (key.noRemove || keepsChild);
    if (!kept) ops.push_back({RegistryOpKind::DeleteTree, path, {}, {}});
    return kept;
}

}  // namespace

bool PlanRegistryUpdate(const RegistryScript& script, RegistryMode mode,
                        std::vector<RegistryOp>& ops) noexcept
{
    try {
        ops.clear();
        for (const KeyNode& key : script.keys) {
            if (mode == RegistryMode::Register) PlanRegister(key, {}, ops);
            else PlanUnregister(key, {}, ops);
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace zarnocrypt
