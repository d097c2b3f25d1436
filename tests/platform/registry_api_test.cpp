#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/registry_file.h"
#include "support/temp_prefix.h"

using namespace platform;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class Registry : public ::testing::Test {
  protected:
    HKEY create(HKEY root, const char* path, REGSAM access = KEY_ALL_ACCESS,
                DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                  &key, disposition),
                  ERROR_SUCCESS)
            << path;
        return key;
    }

    static LONG set(HKEY key, const char* name, DWORD type, const std::string& data) {
        return RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                              static_cast<DWORD>(data.size()));
    }

    // The whole value, found by a size query and a read, as callers do.
    static std::string get(HKEY key, const char* name, DWORD* type = nullptr) {
        DWORD size = 0;
        if (RegQueryValueExA(key, name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) {
            return "<missing>";
        }
        std::string data(size, '\0');
        EXPECT_EQ(
            RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(data.data()), &size),
            ERROR_SUCCESS);
        return data;
    }

    static std::vector<std::string> subkeys(HKEY key) {
        std::vector<std::string> names;
        char name[260];
        for (DWORD i = 0;; ++i) {
            DWORD length = sizeof name;
            LONG status = RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (status != ERROR_SUCCESS) {
                EXPECT_EQ(status, ERROR_NO_MORE_ITEMS);
                return names;
            }
            EXPECT_EQ(length, std::strlen(name));
            names.emplace_back(name);
        }
    }

    // Makes the process drop every cached tree and read the files again.
    void reloadFromDisk() { ASSERT_EQ(setCurrentPrefix(prefix.root()), ""); }

    testsupport::TempPrefix prefix;
};

TEST_F(Registry, MachineRootStartsWithProgramFilesDir) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD type = 99;
    EXPECT_EQ(get(key, "ProgramFilesDir", &type), "C:\\Program Files\0"s);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_NE(readFile(prefix.root() / "system.reg")
                  .find("\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n"),
              std::string::npos);
}

TEST_F(Registry, EmptyMachineFileIsSeededToo) {
    writeFile(prefix.root() / "system.reg", "");
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\microsoft\\windows\\currentversion", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(Registry, ValuesSurviveReloadingTheFile) {
    HKEY key = create(HKEY_CURRENT_USER, "Software\\App \"1\" = [x]");
    const std::vector<std::pair<DWORD, std::string>> values = {
        {REG_SZ, "text \\ \"quoted\" = é\0"s}, {REG_DWORD, "\x0c\0\0\0"s},
        {REG_NONE, "\xff\xff\xff\xff"s},       {REG_BINARY, ""},
        {REG_MULTI_SZ, "a\0b\0\0"s},           {REG_SZ, "no terminator"}};
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(set(key, ("v" + std::to_string(i)).c_str(), values[i].first, values[i].second),
                  ERROR_SUCCESS);
    }
    EXPECT_EQ(set(key, nullptr, REG_SZ, "default\0"s), ERROR_SUCCESS);
    RegCloseKey(key);

    reloadFromDisk();
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software\\APP \"1\" = [X]", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    for (std::size_t i = 0; i < values.size(); ++i) {
        DWORD type = 99;
        EXPECT_EQ(get(key, ("V" + std::to_string(i)).c_str(), &type), values[i].second);
        EXPECT_EQ(type, values[i].first);
    }
    EXPECT_EQ(get(key, ""), "default\0"s);
    RegCloseKey(key);

    // The file itself holds the same tree the store works on.
    auto parsed = parseRegistryText(readFile(prefix.root() / "user.reg"), "HKEY_CURRENT_USER", "");
    ASSERT_FALSE(parsed.error);
    EXPECT_EQ(parsed.root.findSubkey("Software")->findSubkey("App \"1\" = [x]")->values().size(),
              values.size() + 1);
}

TEST_F(Registry, KeyNamesIgnoreCaseAndKeepIt) {
    DWORD disposition = 0;
    HKEY key = create(HKEY_CURRENT_USER, "Software\\MyApp", KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    RegCloseKey(key);
    key = create(HKEY_CURRENT_USER, "SOFTWARE\\myapp", KEY_ALL_ACCESS, &disposition);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(set(key, "Value", REG_SZ, "1"), ERROR_SUCCESS);
    EXPECT_EQ(get(key, "VALUE"), "1");
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(subkeys(key), std::vector<std::string>{"MyApp"});
    RegCloseKey(key);
}

TEST_F(Registry, QueryReportsSizesAndNeverOverfillsABuffer) {
    HKEY key = create(HKEY_CURRENT_USER, "Settings");
    ASSERT_EQ(set(key, "Header1", REG_NONE, "\x64\0\0\0"s), ERROR_SUCCESS);
    ASSERT_EQ(set(key, "Long", REG_BINARY, "12345678"), ERROR_SUCCESS);

    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Long", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);

    // A 4-byte setting read into a 4-byte buffer, no type asked for.
    std::int32_t number = 0;
    size = sizeof number;
    EXPECT_EQ(
        RegQueryValueExA(key, "Header1", nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(number, 100);

    // An 8-byte value into the same buffer: ERROR_MORE_DATA, the needed size, nothing written.
    BYTE buffer[6] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    size = 4;
    DWORD type = 99;
    EXPECT_EQ(RegQueryValueExA(key, "Long", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(type, REG_BINARY);
    for (BYTE b : buffer) {
        EXPECT_EQ(b, 0xAA);
    }

    EXPECT_EQ(RegQueryValueExA(key, "Missing", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExA(key, "Long", nullptr, nullptr, buffer, nullptr),
              ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(Registry, EnumerationRunsToTheEndInWindowsOrder) {
    HKEY key = create(HKEY_CURRENT_USER, "List");
    for (const char* name : {"b", "A", "_x", "C"}) {
        RegCloseKey(create(key, name));
    }
    EXPECT_EQ(subkeys(key), (std::vector<std::string>{"A", "b", "C", "_x"}));

    char name[4] = "zz";
    DWORD length = 2;  // "_x" and its NUL need 3
    EXPECT_EQ(RegEnumKeyExA(key, 3, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    EXPECT_STREQ(name, "zz");

    for (const char* value : {"second", "first", "third"}) {
        set(key, value, REG_SZ, value);
    }
    std::vector<std::string> order;
    for (DWORD i = 0;; ++i) {
        char valueName[16];
        DWORD nameLength = sizeof valueName;
        BYTE data[16];
        DWORD dataSize = sizeof data;
        const LONG status =
            RegEnumValueA(key, i, valueName, &nameLength, nullptr, nullptr, data, &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        ASSERT_EQ(status, ERROR_SUCCESS);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(data), dataSize), valueName);
        order.emplace_back(valueName);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"second", "first", "third"}));
    RegCloseKey(key);
}

TEST_F(Registry, DeleteKeyNeedsALeafAndShDeleteKeyTakesTheSubtree) {
    HKEY app = create(HKEY_CURRENT_USER, "Software\\App\\Commands\\Deep");
    ASSERT_EQ(set(app, "v", REG_SZ, "x"), ERROR_SUCCESS);
    HKEY software = create(HKEY_CURRENT_USER, "Software");

    EXPECT_EQ(RegDeleteKeyA(software, "App"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(subkeys(software), std::vector<std::string>{"App"});
    EXPECT_EQ(RegDeleteKeyA(software, "App\\Commands\\Deep"), ERROR_SUCCESS);
    EXPECT_EQ(SHDeleteKeyA(software, "APP"), ERROR_SUCCESS);
    EXPECT_TRUE(subkeys(software).empty());
    EXPECT_EQ(SHDeleteKeyA(software, "App"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyA(software, ""), ERROR_INVALID_PARAMETER);

    // A handle to a deleted key answers, and closes, without harm.
    EXPECT_EQ(get(app, "v"), "<missing>");
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(app, "v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
    EXPECT_EQ(set(app, "v", REG_SZ, "y"), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(app), ERROR_SUCCESS);
    RegCloseKey(software);

    reloadFromDisk();
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\App", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
}

TEST_F(Registry, BadHandlesAndMissingRootsAreAnsweredNotFollowed) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(nullptr, "x", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(reinterpret_cast<HKEY>(0x1234), "x", 0, KEY_READ, &key),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "x", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
    for (HKEY missing : {HKEY_CLASSES_ROOT, HKEY_USERS, HKEY_CURRENT_CONFIG}) {
        EXPECT_EQ(RegOpenKeyExA(missing, "Software", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(
            RegCreateKeyExA(missing, "Software", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_FILE_NOT_FOUND);
    }

    HKEY closed = create(HKEY_CURRENT_USER, "K");
    EXPECT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(closed), ERROR_INVALID_HANDLE);
    EXPECT_EQ(set(closed, "v", REG_SZ, "x"), ERROR_INVALID_HANDLE);

    // A handle of another prefix does not reach into the current one.
    HKEY old = create(HKEY_CURRENT_USER, "K");
    testsupport::TempPrefix other;
    EXPECT_EQ(set(old, "v", REG_SZ, "x"), ERROR_INVALID_HANDLE);
}

TEST_F(Registry, PathsSkipEmptyPartsAndNamesAreChecked) {
    HKEY key = create(HKEY_CURRENT_USER, "\\a\\\\b\\");
    HKEY same = nullptr;
    ASSERT_EQ(RegOpenKeyExA(key, "", 0, KEY_READ, &same), ERROR_SUCCESS);
    ASSERT_EQ(set(key, "v", REG_SZ, "x"), ERROR_SUCCESS);
    EXPECT_EQ(get(same, "v"), "x");
    HKEY viaPath = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A\\B", 0, KEY_READ, &viaPath), ERROR_SUCCESS);

    HKEY bad = nullptr;
    const std::string longName(256, 'n');
    for (const std::string& name : {longName, "line\nbreak"s, "ok\\line\rbreak"s}) {
        EXPECT_EQ(
            RegCreateKeyExA(key, name.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &bad, nullptr),
            ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(set(key, "bad\nname", REG_SZ, "x"), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(subkeys(key).empty());
    for (HKEY open : {key, same, viaPath}) {
        RegCloseKey(open);
    }
}

TEST_F(Registry, HandleRightsAreEnforced) {
    RegCloseKey(create(HKEY_CURRENT_USER, "R\\Existing"));
    HKEY reader = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "R", 0, KEY_READ, &reader), ERROR_SUCCESS);
    EXPECT_EQ(set(reader, "v", REG_SZ, "x"), ERROR_ACCESS_DENIED);
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKeyExA(reader, "New", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKeyExA(reader, "existing", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(sub);

    HKEY writer = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "R", 0, KEY_SET_VALUE, &writer), ERROR_SUCCESS);
    EXPECT_EQ(set(writer, "v", REG_SZ, "x"), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(writer, "v", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    RegCloseKey(reader);
    RegCloseKey(writer);
}

// What settings do: write under the machine root, else under the user root; read from the
// first root whose key opens.
TEST_F(Registry, ReadOnlyMachineRootSendsSettingsToTheUserRoot) {
    const char* path = "Software\\Product\\Applications\\Linkhold16\\Settings";
    HKEY writable = create(HKEY_LOCAL_MACHINE, "Software\\Before");
    ASSERT_EQ(setRegistryRootReadOnly(HKEY_LOCAL_MACHINE, true), ERROR_SUCCESS);
    const std::string before = readFile(prefix.root() / "system.reg");

    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, const_cast<char*>(""), 0, KEY_WRITE,
                              nullptr, &key, nullptr),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_ALL_ACCESS, &key),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(set(writable, "v", REG_SZ, "x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(SHDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Before"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);

    key = create(HKEY_CURRENT_USER, path, KEY_WRITE);
    ASSERT_EQ(set(key, "AutoAttach", REG_NONE, "\0\0\0\0"s), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(get(key, "AutoAttach"), "\0\0\0\0"s);
    RegCloseKey(key);

    // Reading still works; the file was not touched; the switch is on disk, not in memory.
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(readFile(prefix.root() / "system.reg"), before);
    reloadFromDisk();
    EXPECT_TRUE(registryRootReadOnly(HKEY_LOCAL_MACHINE));
    EXPECT_FALSE(registryRootReadOnly(HKEY_CURRENT_USER));

    ASSERT_EQ(setRegistryRootReadOnly(HKEY_LOCAL_MACHINE, false), ERROR_SUCCESS);
    key = create(HKEY_LOCAL_MACHINE, path, KEY_WRITE);
    EXPECT_EQ(set(key, "AutoAttach", REG_NONE, "\1\0\0\0"s), ERROR_SUCCESS);
    RegCloseKey(key);
    RegCloseKey(writable);
    EXPECT_EQ(setRegistryRootReadOnly(HKEY_USERS, true), ERROR_INVALID_PARAMETER);
}

TEST_F(Registry, MalformedFileFailsEveryCallAndIsNeverOverwritten) {
    const std::string broken =
        "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=dword:xyz\n";
    writeFile(prefix.root() / "system.reg", broken);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A", 0, KEY_READ, &key), ERROR_BADDB);
    EXPECT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "B", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
        ERROR_BADDB);
    EXPECT_EQ(SHDeleteKeyA(HKEY_LOCAL_MACHINE, "A"), ERROR_BADDB);
    EXPECT_EQ(registryErrorText(), (prefix.root() / "system.reg").string() +
                                       ":4: expected a hex "
                                       "number after dword");
    EXPECT_EQ(readFile(prefix.root() / "system.reg"), broken);

    // The other root is unaffected, and a repaired file is used again.
    RegCloseKey(create(HKEY_CURRENT_USER, "Fine"));
    writeFile(prefix.root() / "system.reg",
              "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=dword:7\n");
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "A", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(get(key, "v"), "\7\0\0\0"s);
    RegCloseKey(key);
    EXPECT_EQ(registryErrorText(), "");
}

TEST_F(Registry, EachPrefixHasItsOwnRegistry) {
    HKEY key = create(HKEY_CURRENT_USER, "OnlyInFirst");
    RegCloseKey(key);
    const fs::path first = prefix.root();
    {
        testsupport::TempPrefix second;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "OnlyInFirst", 0, KEY_READ, &key),
                  ERROR_FILE_NOT_FOUND);
        RegCloseKey(create(HKEY_CURRENT_USER, "OnlyInSecond"));
        EXPECT_TRUE(fs::exists(second.root() / "user.reg"));
    }
    ASSERT_EQ(setCurrentPrefix(first), "");
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "OnlyInFirst", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "OnlyInSecond", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
}

}  // namespace
