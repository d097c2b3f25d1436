#include "plugin/ui/version_info.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/host_path.h"
#include "support/temp_prefix.h"

using namespace lnkhold;
namespace fs = std::filesystem;

namespace {

// A module file registered as the linker registers a loaded module, for one test.
class RegisteredModule {
  public:
    explicit RegisteredModule(const fs::path& file) : module_{file, file.parent_path()} {
        platform::registerModule(&module_);
    }
    ~RegisteredModule() { platform::unregisterModule(&module_); }
    RegisteredModule(const RegisteredModule&) = delete;
    RegisteredModule& operator=(const RegisteredModule&) = delete;
    HINSTANCE handle() { return &module_; }

  private:
    HINSTANCE__ module_;
};

class PluginVersionTest : public ::testing::Test {
  protected:
    testsupport::TempPrefix prefix;
    // Built from the plug-in module's own description.
    const fs::path delivered = VERSION_TEST_MODULE;
};

TEST_F(PluginVersionTest, TheDeliveredDescriptionGivesLinkholdVersion14) {
    RegisteredModule module(delivered);
    EXPECT_EQ(versionTitle(module.handle()), "Linkhold, Version 1.4");

    VersionInfo info;
    EXPECT_EQ(info.text("ProductName"), "");  // nothing loaded yet
    ASSERT_TRUE(info.loadFromModule(module.handle()));
    EXPECT_EQ(info.language, 0x0409);
    EXPECT_EQ(info.codePage, 0x04b0);
    EXPECT_EQ(info.fixedInfo.dwFileVersionMS, 0x00010004u);
    EXPECT_EQ(info.fixedInfo.dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(info.fixedInfo.dwProductVersionLS, 0x00000000u);
    EXPECT_EQ(info.text("FileDescription"), "Linkhold ObjectARX application");
    EXPECT_EQ(info.text("originalfilename"), "lnkhold.arx");
    EXPECT_EQ(info.text("ProductVersion"), "1, 4, 0, 0");
    EXPECT_EQ(info.text("Comments"), "");
}

TEST_F(PluginVersionTest, TheTableOfTheModulesOwnTranslationIsRead) {
    RegisteredModule module(UNUSUAL_VERSION_MODULE);
    VersionInfo info;
    ASSERT_TRUE(info.loadFromModule(module.handle()));
    EXPECT_EQ(info.language, 0x0407);
    EXPECT_EQ(info.codePage, 0x04e4);
    EXPECT_EQ(versionTitle(module.handle()),
              "Gr\xC3\xB6\xC3\x9F"
              "e \"\xCE\xA9\" \xE8\xA1\xA8\\, Version 65535.0");
}

TEST_F(PluginVersionTest, AModuleWithoutResourceHasNoVersionText) {
    const fs::path plain = prefix.scratch() / "plain.arx";
    std::ofstream(plain) << "no version here";
    RegisteredModule module(plain);
    VersionInfo info;
    info.language = 7;
    info.codePage = 8;
    EXPECT_FALSE(info.loadFromModule(module.handle()));
    EXPECT_EQ(info.language, 0);
    EXPECT_EQ(info.codePage, 1252);
    EXPECT_EQ(info.text("ProductName"), "");
    EXPECT_EQ(versionTitle(module.handle()), "");

    HINSTANCE__ unregistered{delivered, delivered.parent_path()};
    EXPECT_FALSE(info.loadFromModule(&unregistered));
    EXPECT_EQ(helpFilePath(&unregistered), std::nullopt);
}

TEST_F(PluginVersionTest, HelpFileIsBesideTheModule) {
    RegisteredModule module(delivered);
    const std::string folder = platform::nativeToHost(delivered.parent_path());
    EXPECT_EQ(helpFilePath(module.handle()), folder + "\\lnkhold.hlp");
}

// A module path longer than the buffers its name is read into is not cut into another path:
// the cut path below names another module file (for the version) and another folder (for
// the help file), and neither is used.
TEST_F(PluginVersionTest, LongModulePathsAreNotCutIntoOtherPaths) {
    const fs::path folder = prefix.scratch() / std::string(200, 'a');
    fs::create_directories(folder);
    const std::string folderHost = platform::nativeToHost(folder) + "\\";
    ASSERT_LT(folderHost.size(), 250u);
    // The version's buffer holds 259 characters: the cut name is "mmm...m" (exists).
    const std::string cutName(259 - folderHost.size(), 'm');
    const std::string fullName = cutName + std::string(300 - 259, 'm') + ".arx";
    fs::copy_file(UNUSUAL_VERSION_MODULE, folder / cutName);
    fs::copy_file(delivered, folder / fullName);
    RegisteredModule module(folder / fullName);
    ASSERT_GT(platform::nativeToHost(folder / fullName).size(), 260u);
    ASSERT_LT(platform::nativeToHost(folder / fullName).size(), 512u);

    VersionInfo info;
    EXPECT_FALSE(info.loadFromModule(module.handle()));
    EXPECT_EQ(info.text("ProductName"), "");
    EXPECT_EQ(versionTitle(module.handle()), "");
    // The help path's buffer of 512 holds this one whole.
    EXPECT_EQ(helpFilePath(module.handle()), folderHost + "lnkhold.hlp");

    // Longer than 512: the cut would end inside the last folder's name and point at the
    // help file of the folder above it.
    const fs::path deep = folder / std::string(200, 'b') / std::string(150, 'c');
    fs::create_directories(deep);
    fs::copy_file(delivered, deep / "lnkhold16.arx");
    RegisteredModule deepModule(deep / "lnkhold16.arx");
    ASSERT_GT(platform::nativeToHost(deep / "lnkhold16.arx").size(), 514u);
    EXPECT_EQ(helpFilePath(deepModule.handle()), std::nullopt);
    EXPECT_EQ(versionTitle(deepModule.handle()), "");
}

}  // namespace
