// regtool: reads and changes the registry of a prefix from the command line.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/prefix.h"
#include "platform/registry.h"
#include "platform/registry_tree.h"

namespace {

using namespace platform;

constexpr const char* kUsage =
    "usage: regtool [--prefix DIR] COMMAND\n"
    "  export [KEY]                     print the .reg text of KEY (default: both roots)\n"
    "  query KEY [NAME]                 print one value, or list the values and subkeys of KEY\n"
    "  set KEY NAME sz|dword|none DATA  set a value (none: a 32-bit number stored as 4 bytes)\n"
    "  delete KEY [NAME]                delete a value, or KEY with everything below it\n"
    "  readonly HKLM|HKCU on|off        make a root read-only for every process, or writable\n"
    "KEY is ROOT or ROOT\\path, ROOT one of HKEY_LOCAL_MACHINE (HKLM) and HKEY_CURRENT_USER\n"
    "(HKCU). NAME \"\" is the unnamed value.\n";

struct KeyName {
    HKEY root = nullptr;
    std::string text;  // as given, for messages
    std::string path;  // below the root
};

std::optional<HKEY> parseRoot(std::string_view name) {
    if (registryNamesEqual(name, "HKEY_LOCAL_MACHINE") || registryNamesEqual(name, "HKLM")) {
        return HKEY_LOCAL_MACHINE;
    }
    if (registryNamesEqual(name, "HKEY_CURRENT_USER") || registryNamesEqual(name, "HKCU")) {
        return HKEY_CURRENT_USER;
    }
    return std::nullopt;
}

std::optional<KeyName> parseKey(std::string_view text) {
    const std::size_t slash = text.find('\\');
    auto root = parseRoot(text.substr(0, slash));
    if (!root) {
        return std::nullopt;
    }
    return KeyName{*root, std::string(text),
                   slash == std::string_view::npos ? "" : std::string(text.substr(slash + 1))};
}

std::string describe(LONG status) {
    std::string what;
    switch (status) {
        case ERROR_FILE_NOT_FOUND:
            what = "no such key or value";
            break;
        case ERROR_ACCESS_DENIED:
            what = "access denied (the root may be read-only)";
            break;
        case ERROR_INVALID_PARAMETER:
            what = "invalid name";
            break;
        case ERROR_BADDB:
            what = "the registry file is malformed: " + registryErrorText();
            break;
        case ERROR_REGISTRY_IO_FAILED:
            what = "the registry file could not be read or saved";
            break;
        default:
            what = "failed";
    }
    return what + " (error " + std::to_string(status) + ")";
}

int fail(const std::string& what, LONG status) {
    std::fprintf(stderr, "regtool: %s: %s\n", what.c_str(), describe(status).c_str());
    return 1;
}

int usageError(const std::string& what) {
    std::fprintf(stderr, "regtool: %s\n%s", what.c_str(), kUsage);
    return 2;
}

// A number in decimal or 0x hex within [low, high].
std::optional<long long> parseNumber(const std::string& text, long long low, long long high) {
    errno = 0;
    char* end = nullptr;
    const long long number = std::strtoll(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno != 0 || number < low || number > high) {
        return std::nullopt;
    }
    return number;
}

std::string typeName(DWORD type) {
    switch (type) {
        case REG_NONE:
            return "REG_NONE";
        case REG_SZ:
            return "REG_SZ";
        case REG_EXPAND_SZ:
            return "REG_EXPAND_SZ";
        case REG_BINARY:
            return "REG_BINARY";
        case REG_DWORD:
            return "REG_DWORD";
        case REG_MULTI_SZ:
            return "REG_MULTI_SZ";
        case REG_QWORD:
            return "REG_QWORD";
        default:
            return "type " + std::to_string(type);
    }
}

std::uint32_t littleEndian32(const std::string& data) {
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        number |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
    }
    return number;
}

// Text for strings, numbers for 4-byte DWORD and NONE values (the forms `set` takes), else
// comma-separated hex bytes.
std::string formatData(DWORD type, const std::string& data) {
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && !data.empty() && data.back() == '\0') {
        return data.substr(0, data.size() - 1);
    }
    if (data.size() == 4 && type == REG_DWORD) {
        return std::to_string(littleEndian32(data));
    }
    if (data.size() == 4 && type == REG_NONE) {
        return std::to_string(static_cast<std::int32_t>(littleEndian32(data)));
    }
    std::string hex;
    for (unsigned char byte : data) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02x", byte);
        hex += hex.empty() ? digits : std::string(",") + digits;
    }
    return hex;
}

// Closes the key on every path out.
class OpenedKey {
  public:
    ~OpenedKey() {
        if (key) {
            RegCloseKey(key);
        }
    }
    HKEY key = nullptr;
};

int exportKeys(const std::vector<KeyName>& keys) {
    std::string text;
    for (const auto& name : keys) {
        OpenedKey opened;
        if (LONG status = RegOpenKeyExA(name.root, name.path.c_str(), 0, KEY_READ, &opened.key)) {
            return fail("cannot open " + name.text, status);
        }
        if (LONG status = exportRegistryKey(opened.key, text)) {
            return fail("cannot export " + name.text, status);
        }
    }
    std::fputs(text.c_str(), stdout);
    return 0;
}

LONG readValue(HKEY key, const char* name, DWORD& type, std::string& data) {
    DWORD size = 0;
    if (LONG status = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size)) {
        return status;
    }
    data.resize(size);
    LONG status =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    data.resize(size);
    return status;
}

int query(const KeyName& name, const char* valueName) {
    OpenedKey opened;
    if (LONG status = RegOpenKeyExA(name.root, name.path.c_str(), 0, KEY_READ, &opened.key)) {
        return fail("cannot open " + name.text, status);
    }
    DWORD type = 0;
    std::string data;
    if (valueName) {
        if (LONG status = readValue(opened.key, valueName, type, data)) {
            return fail("cannot read " + name.text + " \"" + valueName + "\"", status);
        }
        std::printf("%s\n", formatData(type, data).c_str());
        return 0;
    }
    std::vector<char> buffer(kMaxValueNameLength + 1);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        LONG status = RegEnumValueA(opened.key, index, buffer.data(), &length, nullptr, nullptr,
                                    nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status == ERROR_SUCCESS) {
            status = readValue(opened.key, buffer.data(), type, data);
        }
        if (status != ERROR_SUCCESS) {
            return fail("cannot list the values of " + name.text, status);
        }
        std::printf("    %s    %s    %s\n", length ? buffer.data() : "(Default)",
                    typeName(type).c_str(), formatData(type, data).c_str());
    }
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(buffer.size());
        LONG status = RegEnumKeyExA(opened.key, index, buffer.data(), &length, nullptr, nullptr,
                                    nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS) {
            return fail("cannot list the subkeys of " + name.text, status);
        }
        std::printf("%s\\%s\n", name.text.c_str(), buffer.data());
    }
    return 0;
}

int setValue(const KeyName& name, const std::string& valueName, const std::string& kind,
             const std::string& text) {
    DWORD type = REG_SZ;
    std::string data;
    if (kind == "sz") {
        data = text + '\0';
    } else if (kind == "dword" || kind == "none") {
        const bool isDword = kind == "dword";
        auto number = parseNumber(text, isDword ? 0 : INT32_MIN, isDword ? UINT32_MAX : INT32_MAX);
        if (!number) {
            return usageError("not a 32-bit " + std::string(isDword ? "unsigned " : "") +
                              "number: " + text);
        }
        type = isDword ? REG_DWORD : REG_NONE;
        const auto bits = static_cast<std::uint32_t>(*number);
        for (int i = 0; i < 4; ++i) {
            data.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
        }
    } else {
        return usageError("the type must be sz, dword or none, not " + kind);
    }
    OpenedKey opened;
    if (LONG status =
            RegCreateKeyExA(name.root, name.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_WRITE, nullptr, &opened.key, nullptr)) {
        return fail("cannot create " + name.text, status);
    }
    if (LONG status = RegSetValueExA(opened.key, valueName.c_str(), 0, type,
                                     reinterpret_cast<const BYTE*>(data.data()),
                                     static_cast<DWORD>(data.size()))) {
        return fail("cannot set " + name.text + " \"" + valueName + "\"", status);
    }
    return 0;
}

int deleteEntry(const KeyName& name, const char* valueName) {
    if (!valueName) {
        if (name.path.find_first_not_of('\\') == std::string::npos) {
            return usageError("a root cannot be deleted");
        }
        if (LONG status = SHDeleteKeyA(name.root, name.path.c_str())) {
            return fail("cannot delete " + name.text, status);
        }
        return 0;
    }
    OpenedKey opened;
    if (LONG status = RegOpenKeyExA(name.root, name.path.c_str(), 0, KEY_SET_VALUE, &opened.key)) {
        return fail("cannot open " + name.text, status);
    }
    if (LONG status = RegDeleteValueA(opened.key, valueName)) {
        return fail("cannot delete " + name.text + " \"" + valueName + "\"", status);
    }
    return 0;
}

int setReadOnly(const std::string& rootText, const std::string& state) {
    auto root = parseRoot(rootText);
    if (!root || (state != "on" && state != "off")) {
        return usageError("readonly takes HKLM or HKCU, then on or off");
    }
    if (LONG status = setRegistryRootReadOnly(*root, state == "on")) {
        return fail("cannot switch " + rootText, status);
    }
    return 0;
}

int run(std::vector<std::string> args) {
    if (args.size() >= 2 && args[0] == "--prefix") {
        if (auto error = setCurrentPrefix(args[1]); !error.empty()) {
            std::fprintf(stderr, "regtool: %s\n", error.c_str());
            return 1;
        }
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) {
        return usageError("no command given");
    }
    const std::string command = args[0];
    const std::size_t count = args.size() - 1;
    const char* optionalName = count == 2 ? args[2].c_str() : nullptr;
    std::optional<KeyName> key;
    if (count >= 1 && command != "readonly") {
        key = parseKey(args[1]);
        if (!key) {
            return usageError("not a key of HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER: " + args[1]);
        }
    }
    if (command == "export" && count == 0) {
        return exportKeys({{HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", ""},
                           {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", ""}});
    }
    if (command == "export" && count == 1) {
        return exportKeys({*key});
    }
    if (command == "query" && (count == 1 || count == 2)) {
        return query(*key, optionalName);
    }
    if (command == "set" && count == 4) {
        return setValue(*key, args[2], args[3], args[4]);
    }
    if (command == "delete" && (count == 1 || count == 2)) {
        return deleteEntry(*key, optionalName);
    }
    if (command == "readonly" && count == 2) {
        return setReadOnly(args[1], args[2]);
    }
    return usageError("unknown command or wrong number of arguments: " + command);
}

}  // namespace

int main(int argc, char** argv) {
    return run(std::vector<std::string>(argv + 1, argv + argc));
}
