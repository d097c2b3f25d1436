// The module as the host loads it: its two exports, the commands it registers and removes,
// the demand-load entries it writes with the path it was loaded from, and LINKHOLDSD typed by
// the user.

#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "cadhost/sdk/accmd.h"
#include "cadhost/sdk/appinfo.h"
#include "module_session.h"
#include "platform/registry.h"

namespace {

using namespace plugintest;
using testing::HasSubstr;

const std::string kApplicationKey = std::string(acrxProductKey()) + "\\Applications\\Linkhold16";

std::string registryString(const std::string& key, const char* name) {
    platform::HKEY handle = nullptr;
    if (platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, key.c_str(), 0, platform::KEY_READ,
                                &handle) != platform::ERROR_SUCCESS) {
        return "(no key)";
    }
    char value[1024] = {};
    platform::DWORD size = sizeof value;
    const bool read = platform::RegQueryValueExA(handle, name, nullptr, nullptr,
                                                 reinterpret_cast<platform::BYTE*>(value),
                                                 &size) == platform::ERROR_SUCCESS;
    platform::RegCloseKey(handle);
    return read ? std::string(value) : "(no value)";
}

// The names of the values of a key, in the store's order.
std::vector<std::string> valueNames(const std::string& key) {
    std::vector<std::string> names;
    platform::HKEY handle = nullptr;
    if (platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, key.c_str(), 0, platform::KEY_READ,
                                &handle) != platform::ERROR_SUCCESS) {
        return names;
    }
    for (platform::DWORD index = 0;; ++index) {
        char name[256];
        platform::DWORD length = sizeof name;
        if (platform::RegEnumValueA(handle, index, name, &length, nullptr, nullptr, nullptr,
                                    nullptr) != platform::ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, length);
    }
    platform::RegCloseKey(handle);
    return names;
}

using Module = ModuleSession;

TEST_F(Module, ExportsOnlyTheEntryPointAndTheApiVersion) {
    const std::string command = "nm -D --defined-only --extern-only '" +
                                std::string(LNKHOLD_MODULE_FILE) + "' | awk '{print $3}'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string symbols;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        symbols += buffer;
    }
    ASSERT_EQ(pclose(pipe), 0);
    // _init and _fini belong to every shared object; any further name is a leak.
    std::vector<std::string> names;
    std::istringstream lines(symbols);
    for (std::string name; std::getline(lines, name);) {
        if (!name.empty() && name != "_init" && name != "_fini") {
            names.push_back(name);
        }
    }
    EXPECT_THAT(names, testing::UnorderedElementsAre("acrxEntryPoint", "acrxGetApiVersion"));
}

TEST_F(Module, RegistersTheDialogAndItsCommandLineFormEachUnderTwoNamesAndTheSecondStageApart) {
    ASSERT_TRUE(loadModule());
    AcEdCommandStack& commands = *acedRegCmds;
    AcEdCommand* main = commands.lookupCmd("LINKHOLD");
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(commands.lookupCmd("lkh"), main);
    EXPECT_STREQ(main->groupName(), "TWK");
    EXPECT_STREQ(main->localName(), "LKH");
    EXPECT_EQ(main->commandFlags(), ACRX_CMD_TRANSPARENT | ACRX_CMD_USEPICKSET);
    AcEdCommand* form = commands.lookupCmd("-LINKHOLD");
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(commands.lookupCmd("-lkh"), form);
    EXPECT_STREQ(form->groupName(), "TWK");
    EXPECT_EQ(form->commandFlags(), ACRX_CMD_MODAL);
    AcEdCommand* second = commands.lookupCmd("LINKHOLDSD");
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, main);
    EXPECT_STREQ(second->groupName(), "TWK");
    EXPECT_EQ(second->commandFlags(), 0x200000);

    ASSERT_TRUE(acrxDynamicLinker->unloadModule(modulePath().c_str(), true));
    // Really gone from the process: nothing in it keeps the file mapped.
    EXPECT_EQ(dlopen(LNKHOLD_MODULE_FILE, RTLD_NOW | RTLD_NOLOAD), nullptr);
    EXPECT_EQ(commands.lookupCmd("LINKHOLD"), nullptr);
    EXPECT_EQ(commands.lookupCmd("LKH"), nullptr);
    EXPECT_EQ(commands.lookupCmd("-LKH"), nullptr);
    EXPECT_EQ(commands.lookupCmd("LINKHOLDSD"), nullptr);
}

TEST_F(Module, EachInitialisationRewritesTheDemandLoadEntriesWithItsOwnPath) {
    ASSERT_TRUE(loadModule());
    EXPECT_EQ(registryString(kApplicationKey, "LOADER"), modulePath());
    AcadAppInfo info;
    info.setAppName("Linkhold16");
    ASSERT_EQ(info.readFromRegistry(), AcadApp::eOk);
    EXPECT_EQ(info.loadReason(), 12);  // on command and on request, never at start-up
    EXPECT_EQ(valueNames(kApplicationKey + "\\COMMANDS"),
              (std::vector<std::string>{"Linkhold", "-Linkhold"}));
    EXPECT_EQ(registryString(kApplicationKey + "\\COMMANDS", "Linkhold"), "lkh");
    EXPECT_EQ(registryString(kApplicationKey + "\\COMMANDS", "-Linkhold"), "-lkh");
    EXPECT_EQ(registryString(kApplicationKey + "\\GROUPS", "TWK"), "TWK");

    // Unloaded, then loaded again from another folder: registered again, entries rewritten.
    ASSERT_TRUE(acrxDynamicLinker->unloadModule(modulePath().c_str(), true));
    const std::filesystem::path moved = folder() / "installed" / "Linkhold16.arx";
    std::filesystem::create_directories(moved.parent_path());
    std::filesystem::copy_file(LNKHOLD_MODULE_FILE, moved);
    const std::string movedPath = platform::nativeToHost(moved);
    ASSERT_TRUE(acrxDynamicLinker->loadModule(movedPath.c_str(), true));
    EXPECT_NE(acedRegCmds->lookupCmd("LKH"), nullptr);
    EXPECT_EQ(registryString(kApplicationKey, "LOADER"), movedPath);
}

TEST_F(Module, TypingTheSecondStageOnlyPrintsANotice) {
    open("host.dxf");
    ASSERT_TRUE(loadModule());
    output();
    const bool modified = drawing()->isModifiedSinceSave();
    EXPECT_EQ(run("LINKHOLDSD\n"), 0);
    EXPECT_THAT(output(),
                HasSubstr("LinkholdSD for internal use only. Use Linkhold or LKH instead"));
    EXPECT_EQ(drawing()->isModifiedSinceSave(), modified);
}

}  // namespace
