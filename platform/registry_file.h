#pragma once
// The "Windows Registry Editor Version 5.00" text form of a registry root, read and written
// byte for byte: names and string data pass through unchanged (UTF-8 stays UTF-8).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry_tree.h"

namespace platform {

struct RegistryFileError {
    std::string file;
    std::size_t line = 0;
    std::string message;
    std::string text() const;  // "file:line: message"
};

struct RegistryParseResult {
    RegistryNode root;
    std::optional<RegistryFileError> error;  // set: the text is malformed and root is empty
};

// Reads the text of one root: every section must name rootName or a key below it.
// Empty text is an empty root. Anything malformed is an error with its line number.
RegistryParseResult parseRegistryText(std::string_view text, std::string_view rootName,
                                      std::string_view fileName);

// Appends the sections of key and its subtree; keyPath is the key's full name
// ("HKEY_LOCAL_MACHINE" or "HKEY_LOCAL_MACHINE\Software"). Empty text first gets the header.
// A root without values gets no section of its own; every other key does.
void appendRegistryText(std::string& text, const RegistryNode& key, std::string_view keyPath);

}  // namespace platform
