#pragma once
// The in-memory model of one registry root: keys with case-kept names, looked up without
// regard to case, each holding its values and its subkeys.

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/win32_types.h"

namespace platform {

inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;
inline constexpr std::size_t kMaxKeyDepth = 512;  // levels below a root

// Names compare with ASCII letters folded to upper case, as Windows orders them
// ("_" sorts after the letters); other bytes compare as they are.
std::string foldRegistryName(std::string_view name);
bool registryNamesEqual(std::string_view a, std::string_view b);
struct RegistryNameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

// A name a key may be created with: 1 to 255 bytes, no backslash, CR, LF or NUL.
bool validKeyName(std::string_view name);
// A name a value may be set with: at most 16383 bytes, no CR, LF or NUL ("" is the unnamed value).
bool validValueName(std::string_view name);

struct RegistryValue {
    std::string name;
    DWORD type = 0;
    std::string data;  // raw bytes, exactly as set
    bool operator==(const RegistryValue&) const = default;
};

class RegistryNode {
  public:
    // Keyed by the name as first spelled; iteration is the enumeration order.
    using Subkeys = std::map<std::string, std::unique_ptr<RegistryNode>, RegistryNameLess>;

    const Subkeys& subkeys() const { return subkeys_; }
    const RegistryNode* findSubkey(std::string_view name) const;
    RegistryNode* findSubkey(std::string_view name);
    // The subkey of that name, created with this spelling when missing.
    RegistryNode& createSubkey(std::string_view name, bool* created = nullptr);
    bool removeSubkey(std::string_view name);

    // In the order they were first set.
    const std::vector<RegistryValue>& values() const { return values_; }
    const RegistryValue* findValue(std::string_view name) const;
    // An existing value keeps its place and its spelling.
    void setValue(std::string_view name, DWORD type, std::string data);
    bool removeValue(std::string_view name);

    // Exact comparison: spellings, value order, types and bytes.
    bool operator==(const RegistryNode& other) const;

  private:
    Subkeys subkeys_;
    std::vector<RegistryValue> values_;
    std::unordered_map<std::string, std::size_t> valueIndex_;  // folded name -> position
};

}  // namespace platform
