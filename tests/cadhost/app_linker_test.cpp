#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app_test_support.h"
#include "cadhost/sdk/accmd.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class Linker : public apptest::HostSession {
  protected:
    AcRxDynamicLinker& linker = *acrxDynamicLinker;
};

TEST_F(Linker, LoadsOnceInitialisesAndRegistersCommands) {
    const std::string path = modulePath("TestModule");
    ASSERT_TRUE(linker.loadModule(path.c_str(), true));
    EXPECT_THAT(output(), HasSubstr("[test module] init " + path));
    ASSERT_NE(acedRegCmds->lookupCmd("TMH"), nullptr);
    EXPECT_EQ(acedRegCmds->lookupCmd("tmhello"), acedRegCmds->lookupCmd("TMH"));

    EXPECT_TRUE(linker.loadModule(path.c_str(), true));
    EXPECT_THAT(output(), AllOf(HasSubstr("already loaded"), Not(HasSubstr("init"))));
    EXPECT_EQ(linker.loadedModules(), std::vector<std::string>{path});

    EXPECT_EQ(run("TMH\n"), 0);
    EXPECT_THAT(output(), HasSubstr("Hello from the test module (" + path + ")"));
}

TEST_F(Linker, UnloadRemovesTheCommandsAndReloadRegistersThemAgain) {
    const std::string path = modulePath("TestModule");
    ASSERT_TRUE(linker.loadModule(path.c_str(), true));
    ASSERT_TRUE(linker.unloadModule("testmodule.arx", true));
    EXPECT_THAT(output(), HasSubstr("[test module] unload"));
    EXPECT_EQ(acedRegCmds->lookupCmd("TMH"), nullptr);
    EXPECT_TRUE(linker.loadedModules().empty());
    EXPECT_FALSE(linker.unloadModule("TestModule", true));
    EXPECT_THAT(output(), HasSubstr("is not loaded"));

    ASSERT_TRUE(linker.loadModule(path.c_str(), true));
    EXPECT_THAT(output(), HasSubstr("[test module] init"));
    EXPECT_NE(acedRegCmds->lookupCmd("TMH"), nullptr);
}

TEST_F(Linker, ALockedModuleStaysLoaded) {
    const std::string path = modulePath("TestModuleLocked");
    ASSERT_TRUE(linker.loadModule(path.c_str(), true));
    EXPECT_TRUE(linker.isApplicationLocked(path.c_str()));
    EXPECT_FALSE(linker.unloadModule(path.c_str(), true));
    EXPECT_THAT(output(), HasSubstr("is locked"));
    EXPECT_NE(acedRegCmds->lookupCmd("TMH"), nullptr);
}

TEST_F(Linker, CommandsAModuleLeavesBehindGoWithIt) {
    const std::string path = modulePath("TestModulePlain");
    ASSERT_TRUE(linker.loadModule(path.c_str(), true));
    ASSERT_TRUE(linker.unloadModule(path.c_str(), true));
    EXPECT_EQ(acedRegCmds->lookupCmd("TMASK"), nullptr);
    // TMASK is not among the module's demand-load commands, so nothing loads it again.
    EXPECT_EQ(run("TMASK\n"), 1);
    EXPECT_THAT(output(), HasSubstr("Unknown command \"TMASK\""));
}

TEST_F(Linker, RefusesAModuleOfAnotherApiVersionWithoutInitialisingIt) {
    const std::string path = modulePath("WrongVersionModule");
    EXPECT_FALSE(linker.loadModule(path.c_str(), true));
    EXPECT_THAT(output(), HasSubstr("API version 0x000F0000; this host needs 0x00100000"));
    EXPECT_TRUE(linker.loadedModules().empty());
}

TEST_F(Linker, ReportsMissingAndBrokenFiles) {
    EXPECT_FALSE(linker.loadModule("C:\\no\\such.arx", true));
    EXPECT_THAT(output(), HasSubstr("Unable to load C:\\no\\such.arx: file not found"));
    const std::filesystem::path broken = prefix_.scratch() / "broken.arx";
    std::ofstream(broken) << "not a shared object";
    EXPECT_FALSE(linker.loadModule(platform::nativeToHost(broken).c_str(), true));
    EXPECT_THAT(output(), HasSubstr("Unable to load"));
    EXPECT_FALSE(linker.loadModule("C:\\no\\such.arx", false));
    EXPECT_EQ(output(), "");
}

TEST_F(Linker, RefusesAModuleThatIsNotMdiAwareWhileSeveralDrawingsAreOpen) {
    acDocManagerPtr()->newDocument();
    acDocManagerPtr()->newDocument();
    const std::string path = modulePath("TestModulePlain");
    EXPECT_FALSE(linker.loadModule(path.c_str(), true));
    EXPECT_THAT(output(),
                AllOf(HasSubstr("one open drawing only"), HasSubstr("[test module] unload")));
    EXPECT_EQ(acedRegCmds->lookupCmd("TMH"), nullptr);
    EXPECT_TRUE(linker.loadModule(modulePath("TestModule").c_str(), true));
}

TEST_F(Linker, SendsDrawingMessagesForOpenAndClosedDrawings) {
    AcApDocument* first = acDocManagerPtr()->newDocument();
    ASSERT_TRUE(linker.loadModule(modulePath("TestModule").c_str(), true));
    EXPECT_THAT(output(), HasSubstr("[test module] load drawing Drawing"));
    const std::string path = makeDrawing("site.dxf");
    ASSERT_NE(acDocManagerPtr()->openDocument(path, false), nullptr);
    EXPECT_THAT(output(), HasSubstr("[test module] load drawing " + path));
    ASSERT_TRUE(acDocManagerPtr()->closeDocument(first, true));
    EXPECT_THAT(output(), HasSubstr(std::string("[test module] unload drawing ") + "Drawing"));
}

TEST_F(Linker, ModulePromptsReadFromTheCommandLineInput) {
    ASSERT_TRUE(linker.loadModule(modulePath("TestModule").c_str(), true));
    output();
    EXPECT_EQ(run("TMASK\nAda Lovelace\nTMH\n"), 0);
    const std::string text = output();
    EXPECT_THAT(text, HasSubstr("Your name: Ada Lovelace"));
    EXPECT_THAT(text, HasSubstr("Hello, Ada Lovelace"));
    EXPECT_THAT(text, HasSubstr("Hello from the test module"));
}

TEST_F(Linker, APromptLeftWithoutAnswerFailsTheScript) {
    ASSERT_TRUE(linker.loadModule(modulePath("TestModule").c_str(), true));
    EXPECT_EQ(run("TMASK\n"), 1);
    EXPECT_THAT(output(), HasSubstr("failed at line 1: TMASK"));
}

TEST_F(Linker, ArxCommandLoadsListsAndUnloads) {
    const std::string path = modulePath("TestModule");
    EXPECT_EQ(run("ARX L \"" + path + "\"\nARX ?\nARX U TestModule\nARX ?\n"), 0);
    const std::string text = output();
    EXPECT_THAT(text, HasSubstr("Loaded modules: 1\n  " + path));
    EXPECT_THAT(text, HasSubstr("[test module] unload"));
    EXPECT_THAT(text, HasSubstr("Loaded modules: 0"));
}

}  // namespace
