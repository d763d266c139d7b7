// The registry script of the component: a tree of keys below one root, read
// from the registrar's text format
//
//   HKCR
//   {
//       NoRemove Parent
//       {
//           ForceRemove Name = s 'default value'
//           {
//               val Named = s 'text'
//               val Count = d '42'
//           }
//       }
//   }
//
// Tokens are separated by white space; keywords (root names, ForceRemove,
// NoRemove, Delete, val, s, d) ignore case; '' inside a quoted string is a
// quote. %NAME% is replaced from the caller's map and %% is a percent sign.
// Replacement happens inside a token after it is read, so a replaced value
// (a module path with quotes or spaces, say) can never change the script's
// structure. Portable: no Windows headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zarnocrypt {

using ReplacementMap = std::map<std::string, std::string>;

enum class RegistryValueType { String, Dword };

struct RegistryValue {
    RegistryValueType type = RegistryValueType::String;
    std::string text;          // String
    std::uint32_t number = 0;  // Dword
    bool operator==(const RegistryValue&) const = default;
};

struct NamedValue {
    std::string name;
    RegistryValue value;
};

struct KeyNode {
    std::string name;
    bool forceRemove = false;  // register: delete with its subtree, then create
    bool noRemove = false;     // unregister: keep, but process what is named below
    bool deleteKey = false;    // register: delete with its subtree; unregister: nothing
    std::optional<RegistryValue> defaultValue;
    std::vector<NamedValue> values;
    std::vector<KeyNode> children;
};

// Only HKEY_CLASSES_ROOT: the component registers nothing elsewhere.
struct RegistryScript {
    std::vector<KeyNode> keys;
};

enum class ScriptError {
    None,
    OutOfMemory,
    MissingRoot,
    UnknownRoot,
    UnexpectedToken,
    UnbalancedBraces,
    MissingValue,
    UnknownValueType,
    InvalidNumber,
    UnterminatedString,
    UnknownVariable,
    UnterminatedVariable,
    InvalidKeyName,
    ConflictingFlags,
    InvalidCharacter,
    TooDeep,
};

// Keys nest at most this deep below the root; deeper input is refused
// rather than risking the stack.
inline constexpr std::size_t MAX_KEY_DEPTH = 32;

struct ParseResult {
    ScriptError error = ScriptError::None;
    std::size_t line = 0;                 // 1-based line of the error
    std::optional<RegistryScript> script; // only when error is None
};

ParseResult ParseRegistryScript(std::string_view text, const ReplacementMap& replacements) noexcept;

// English text for an error, for logs and test output.
const char* ScriptErrorText(ScriptError error) noexcept;

}  // namespace zarnocrypt
