#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app_test_support.h"
#include "cadhost/app/demand_loader.h"
#include "cadhost/sdk/accmd.h"
#include "cadhost/sdk/appinfo.h"
#include "platform/registry.h"

namespace {

using ::testing::HasSubstr;
using namespace platform;

const std::string kApp = std::string(acrxProductKey()) + "\\Applications\\TestModule";

void writeValue(const std::string& path, const char* name, DWORD type, const void* data,
                DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void writeString(const std::string& path, const char* name, const std::string& value) {
    writeValue(path, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

// The entries an installer writes: load controls, module path, one command, one group.
void registerApplication(DWORD loadControls, const std::string& loader) {
    writeValue(kApp, "LOADCTRLS", REG_DWORD, &loadControls, sizeof loadControls);
    writeString(kApp, "LOADER", loader);
    writeString(kApp + "\\COMMANDS", "TMHELLO", "TMH");
    writeString(kApp + "\\GROUPS", "TMOD", "TMOD");
}

std::string exported(const std::string& path) {
    HKEY key = nullptr;
    std::string text;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        exportRegistryKey(key, text);
        RegCloseKey(key);
    }
    return text;
}

using DemandLoading = apptest::HostSession;

TEST_F(DemandLoading, TypingARegisteredCommandLoadsTheModuleAndRunsIt) {
    registerApplication(12, modulePath("TestModule"));
    EXPECT_EQ(run("tmh\n"), 0);
    const std::string text = output();
    EXPECT_THAT(text, HasSubstr("[test module] init"));
    EXPECT_THAT(text, HasSubstr("Hello from the test module"));
    EXPECT_EQ(run("TMHELLO\n"), 0);
    EXPECT_THAT(output(), testing::Not(HasSubstr("init")));
}

TEST_F(DemandLoading, WithoutTheCommandInvocationBitTheCommandStaysUnknown) {
    registerApplication(AcadApp::kOnLoadRequest, modulePath("TestModule"));
    EXPECT_EQ(run("TMH\n"), 1);
    EXPECT_THAT(output(), HasSubstr("Unknown command \"TMH\""));
    EXPECT_TRUE(acrxDynamicLinker->loadedModules().empty());
}

TEST_F(DemandLoading, AMissingModuleIsNamedWithItsApplication) {
    registerApplication(12, "C:\\Program Files\\Gone\\TestModule.arx");
    EXPECT_EQ(run("TMH\n"), 1);
    const std::string text = output();
    EXPECT_THAT(text, HasSubstr("Unable to load C:\\Program Files\\Gone\\TestModule.arx"));
    EXPECT_THAT(text, HasSubstr("Application TestModule"));
    EXPECT_THAT(text, HasSubstr("failed at line 1: TMH"));
}

TEST_F(DemandLoading, StartupBitLoadsWhenTheHostStarts) {
    registerApplication(AcadApp::kOnAutoCADStartup, modulePath("TestModule"));
    cadhost::app::loadStartupApplications();
    EXPECT_EQ(acrxDynamicLinker->loadedModules(), std::vector{modulePath("TestModule")});
}

TEST_F(DemandLoading, LoadRequestByApplicationNameNeedsItsBit) {
    registerApplication(AcadApp::kOnCommandInvocation, modulePath("TestModule"));
    EXPECT_EQ(run("ARX Load TestModule\n"), 1);
    EXPECT_THAT(output(), HasSubstr("not registered for loading on request"));
    registerApplication(12, modulePath("TestModule"));
    EXPECT_EQ(run("ARX Load testmodule\n"), 0);
    EXPECT_EQ(acrxDynamicLinker->loadedModules(), std::vector{modulePath("TestModule")});
}

TEST_F(DemandLoading, TheModuleRewritesItsEntriesInTheInstallersLayout) {
    registerApplication(12, "C:\\old\\TestModule.arx");
    writeString(kApp, "EXTRA", "kept");
    ASSERT_TRUE(acrxDynamicLinker->loadModule(modulePath("TestModule").c_str(), true));
    const std::string path = modulePath("TestModule");
    std::string escaped;
    for (char c : path) {
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    }
    EXPECT_EQ(exported(kApp), "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\" +
                                  kApp + "]\n\"LOADCTRLS\"=dword:0000000c\n\"LOADER\"=\"" +
                                  escaped + "\"\n\"EXTRA\"=\"kept\"\n\n[HKEY_LOCAL_MACHINE\\" +
                                  kApp +
                                  "\\COMMANDS]\n\"TMHELLO\"=\"TMH\"\n\n[HKEY_LOCAL_MACHINE\\" +
                                  kApp + "\\GROUPS]\n\"TMOD\"=\"TMOD\"\n\n");
}

TEST_F(DemandLoading, AppInfoReadsBackAndRefusesBadNames) {
    AcadAppInfo info;
    info.setAppName("Sample");
    info.setModuleName("C:\\Sample\\Sample.arx");
    info.setAppDesc("A sample");
    info.setLoadReason(AcadApp::kOnLoadRequest);
    ASSERT_EQ(info.writeToRegistry(true, false), AcadApp::eOk);
    info.setModuleName("C:\\Other\\Sample.arx");
    ASSERT_EQ(info.writeToRegistry(false, true), AcadApp::eOk);

    AcadAppInfo read;
    read.setAppName("sample");
    ASSERT_EQ(read.readFromRegistry(), AcadApp::eOk);
    EXPECT_STREQ(read.moduleName(), "C:\\Sample\\Sample.arx");
    EXPECT_EQ(read.loadReason(), AcadApp::kOnLoadRequest);

    AcadAppInfo bad;
    bad.setAppName("a\\b");
    EXPECT_EQ(bad.writeToRegistry(), AcadApp::eInvalidKey);
    bad.setAppName("");
    EXPECT_EQ(bad.writeCommandNameToRegistry("X", "X"), AcadApp::eInvalidKey);
    EXPECT_EQ(AcadAppInfo().readFromRegistry(), AcadApp::eInvalidKey);
}

TEST_F(DemandLoading, AReadOnlyMachineRootGivesAccessDenied) {
    ASSERT_EQ(setRegistryRootReadOnly(HKEY_LOCAL_MACHINE, true), ERROR_SUCCESS);
    AcadAppInfo info;
    info.setAppName("Sample");
    EXPECT_EQ(info.writeToRegistry(), AcadApp::eRegAccessDenied);
    EXPECT_EQ(info.writeGroupNameToRegistry("G"), AcadApp::eRegAccessDenied);
    ASSERT_EQ(setRegistryRootReadOnly(HKEY_LOCAL_MACHINE, false), ERROR_SUCCESS);
}

using HostRegistration = apptest::HostSession;

TEST_F(HostRegistration, WritesTheProductKeyAndProfileOnceAndKeepsChanges) {
    EXPECT_STREQ(acrxProductKey(), "Software\\Autodesk\\AutoCAD\\R16.0\\ACAD-201:409");
    EXPECT_THAT(exported(acrxProductKey()),
                HasSubstr("\"ProductName\"=\"cadhost\"\n\"Release\"=\"16.0\"\n"));
    writeString(acrxProductKey(), "Release", "16.0 changed");
    ASSERT_EQ(cadhost::app::registerHost(), "");
    EXPECT_THAT(exported(acrxProductKey()), HasSubstr("\"Release\"=\"16.0 changed\""));

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (cadhost::app::profileKey() + "\\General").c_str(),
                            0, KEY_READ, &key),
              ERROR_SUCCESS);
    char path[MAX_PATH] = {};
    DWORD size = sizeof path;
    EXPECT_EQ(RegQueryValueExA(key, "ACAD", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(path, "C:\\Program Files\\cadhost\\Support");
    RegCloseKey(key);
}

}  // namespace
