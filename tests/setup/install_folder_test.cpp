#include "setup/install_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/current_folder.h"
#include "platform/host_path.h"
#include "registry_support.h"
#include "support/temp_prefix.h"

namespace fs = std::filesystem;
using namespace setup;
using platform::IDNO;
using platform::IDYES;

namespace {

std::string readText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

struct Asked {
    std::string text;
    std::string caption;
    platform::UINT type;
};

class InstallFolderTest : public ::testing::Test {
  protected:
    InstallFolderTest() {
        fs::create_directories(setupDir);
        platform::setCurrentHostFolder(platform::nativeToHost(setupDir));
    }
    MessageSink answering(int answer) {
        return [this, answer](const std::string& text, const std::string& caption,
                              platform::UINT type) {
            asked.push_back({text, caption, type});
            return answer;
        };
    }
    fs::path driveC() const { return prefix.root() / "drive_c"; }

    testsupport::TempPrefix prefix;
    fs::path setupDir = prefix.scratch() / "setup";
    std::vector<Asked> asked;
};

TEST_F(InstallFolderTest, DefaultFollowsProgramFilesDir) {
    CRegistryKey registry;
    EXPECT_EQ(defaultInstallFolder(registry), "C:\\Program Files\\Tarnwick\\Linkhold16");
    setuptest::setString("Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                         "D:\\Apps");
    EXPECT_EQ(defaultInstallFolder(registry), "D:\\Apps\\Tarnwick\\Linkhold16");
    platform::HKEY key = nullptr;
    ASSERT_EQ(platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows",
                                      0, platform::KEY_ALL_ACCESS, &key),
              platform::ERROR_SUCCESS);
    platform::SHDeleteKeyA(key, "CurrentVersion");
    platform::RegCloseKey(key);
    EXPECT_EQ(defaultInstallFolder(registry), "C:\\\\Tarnwick\\Linkhold16");
}

TEST_F(InstallFolderTest, ExistingFolderIsAcceptedWithoutAQuestion) {
    fs::create_directories(driveC() / "Existing");
    InstallFolder folder(answering(IDNO));
    EXPECT_TRUE(folder.accept("c:\\existing"));
    EXPECT_EQ(folder.installFolder(), "c:\\existing");
    EXPECT_EQ(folder.sourceFolder(), platform::nativeToHost(setupDir));
    EXPECT_EQ(platform::currentHostFolder(), folder.sourceFolder());
    EXPECT_TRUE(asked.empty());
}

TEST_F(InstallFolderTest, MissingFolderIsCreatedLevelByLevelOnYes) {
    fs::create_directories(driveC() / "Program Files");
    InstallFolder folder(answering(IDYES));
    EXPECT_TRUE(folder.accept("C:\\\\Program Files\\Tarnwick\\Linkhold16"));
    EXPECT_TRUE(fs::is_directory(driveC() / "Program Files" / "Tarnwick" / "Linkhold16"));
    EXPECT_EQ(folder.installFolder(), "C:\\\\Program Files\\Tarnwick\\Linkhold16");
    EXPECT_EQ(platform::currentHostFolder(), platform::nativeToHost(setupDir));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].caption, "Unknown Directory");
    EXPECT_EQ(asked[0].text,
              "Directory: C:\\\\Program Files\\Tarnwick\\Linkhold16,\nDoes not exist, do you want "
              "to create it?");
    EXPECT_EQ(asked[0].type, platform::MB_YESNO | platform::MB_ICONQUESTION);
}

TEST_F(InstallFolderTest, NoKeepsThePreviousFolder) {
    fs::create_directories(driveC() / "First");
    InstallFolder folder(answering(IDNO));
    ASSERT_TRUE(folder.accept("C:\\First"));
    EXPECT_FALSE(folder.accept("C:\\Second"));
    EXPECT_EQ(folder.installFolder(), "C:\\First");
    EXPECT_FALSE(fs::exists(driveC() / "Second"));
    EXPECT_EQ(asked.size(), 1u);
}

TEST_F(InstallFolderTest, UnknownDriveAndRelativeFolderAreRefused) {
    InstallFolder folder(answering(IDYES));
    EXPECT_FALSE(folder.accept("Q:\\Apps"));
    EXPECT_FALSE(folder.accept("relative\\dir"));
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[1].text, "Could not change to drive: Q:\\");
    EXPECT_EQ(asked[1].caption, "Installation Error");
    EXPECT_EQ(asked[1].type, platform::MB_OK);
    EXPECT_EQ(asked[3].text, "Could not change to drive: relative\\dir:\\");
    EXPECT_EQ(folder.installFolder(), "");
    EXPECT_EQ(platform::currentHostFolder(), platform::nativeToHost(setupDir));
}

TEST_F(InstallFolderTest, FailingLevelKeepsTheLevelsMadeBeforeIt) {
    fs::create_directories(driveC() / "Locked");
    writeText(driveC() / "Apps" / "Blocker", "a file where a folder should go");
    InstallFolder folder(answering(IDYES));
    EXPECT_FALSE(folder.accept("C:\\Apps\\Blocker\\Linkhold16"));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].text, "Problem creating subdirectory .\\Blocker\nin directory: C:\\Apps");
    EXPECT_EQ(asked[1].caption, "Installation Error");
    EXPECT_EQ(folder.installFolder(), "");
    // The next try starts from the setup folder again.
    EXPECT_EQ(platform::currentHostFolder(), platform::nativeToHost(setupDir));

    if (::geteuid() != 0) {  // root may write anywhere
        ::chmod((driveC() / "Locked").c_str(), 0555);
        EXPECT_FALSE(folder.accept("C:\\Locked\\New"));
        EXPECT_EQ(asked.back().text,
                  "Problem creating subdirectory .\\New\nin directory: C:\\Locked");
        ::chmod((driveC() / "Locked").c_str(), 0755);
    }
}

TEST(ListedNames, AllLineEndsAndBlankLines) {
    EXPECT_EQ(listedNames("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(listedNames("\r\n\r\n a \r\n\n\r\r\nsub\\b.txt\r\n"),
              (std::vector<std::string>{" a ", "sub\\b.txt"}));
    EXPECT_TRUE(listedNames("").empty());
    EXPECT_TRUE(listedNames("\n\r\n\r").empty());
}

TEST_F(InstallFolderTest, CopiesEveryListedFileInsideTheInstallFolder) {
    writeText(setupDir / "Linkhold16.arx", "module");
    writeText(setupDir / "lnkhold.hlp", "help");
    writeText(setupDir / "res" / "deep" / "icon.bmp", "icon");
    writeText(setupDir / "secret.txt", "outside the list");
    writeText(prefix.scratch() / "outside.txt", "above the setup folder");
    writeText(setupDir / "setup16.ini",
              "Linkhold16.arx\n\nlnkhold.hlp\r\nres\\deep\\icon.bmp\rmissing.dll\n"
              "..\\outside.txt\nres\\..\\..\\outside.txt\n" +
                  platform::nativeToHost(setupDir / "secret.txt") + "\n\\secret.txt\n");
    fs::create_directories(driveC() / "Inst");
    writeText(driveC() / "Inst" / "lnkhold.hlp", "old help");

    const auto failures = copyListedFiles(platform::nativeToHost(setupDir), "C:\\Inst");
    const std::string outside = "the name leads outside the setup or installation folder";
    EXPECT_EQ(failures, (std::vector<CopyFailure>{
                            {"missing.dll", "not found in the setup folder"},
                            {"..\\outside.txt", outside},
                            {"res\\..\\..\\outside.txt", outside},
                            {platform::nativeToHost(setupDir / "secret.txt"), outside},
                            {"\\secret.txt", outside},
                        }));
    EXPECT_EQ(readText(driveC() / "Inst" / "Linkhold16.arx"), "module");
    EXPECT_EQ(readText(driveC() / "Inst" / "lnkhold.hlp"), "help");
    EXPECT_EQ(readText(driveC() / "Inst" / "res" / "deep" / "icon.bmp"), "icon");
    std::vector<std::string> installed;
    for (const auto& entry : fs::recursive_directory_iterator(driveC())) {
        installed.push_back(entry.path().lexically_relative(driveC()).string());
    }
    std::sort(installed.begin(), installed.end());
    EXPECT_EQ(installed, (std::vector<std::string>{"Inst", "Inst/Linkhold16.arx",
                                                   "Inst/lnkhold.hlp", "Inst/res", "Inst/res/deep",
                                                   "Inst/res/deep/icon.bmp", "Program Files"}));
}

TEST_F(InstallFolderTest, NoListCopiesNothingAndSaysSo) {
    writeText(setupDir / "Linkhold16.arx", "module");
    fs::create_directories(driveC() / "Inst");
    EXPECT_EQ(copyListedFiles(platform::nativeToHost(setupDir), "C:\\Inst"),
              (std::vector<CopyFailure>{{"setup16.ini",
                                         "the list of files to copy could not be read: not "
                                         "found in the setup folder"}}));
    EXPECT_TRUE(fs::is_empty(driveC() / "Inst"));
}

// A file that cannot be copied does not stop the others, and each says why.
TEST_F(InstallFolderTest, FilesThatCannotBeCopiedAreNamedWithTheirReason) {
    writeText(setupDir / "setup16.ini", "Linkhold16.arx\r\nlnkhold.hlp\r\nres\r\nlicense.txt\r\n");
    writeText(setupDir / "Linkhold16.arx", "new module");
    writeText(setupDir / "lnkhold.hlp", "help");
    fs::create_directories(setupDir / "res");
    writeText(driveC() / "Inst" / "Linkhold16.arx", "old module");
    // A read-only copy is not replaced, also for root.
    fs::permissions(driveC() / "Inst" / "Linkhold16.arx", fs::perms::owner_read);

    const auto failures = copyListedFiles(platform::nativeToHost(setupDir), "C:\\Inst");
    EXPECT_EQ(failures,
              (std::vector<CopyFailure>{{"Linkhold16.arx", "access denied"},
                                        {"res", "access denied"},
                                        {"license.txt", "not found in the setup folder"}}));
    EXPECT_EQ(readText(driveC() / "Inst" / "Linkhold16.arx"), "old module");
    EXPECT_EQ(readText(driveC() / "Inst" / "lnkhold.hlp"), "help");
    fs::permissions(driveC() / "Inst" / "Linkhold16.arx", fs::perms::owner_all);
}

TEST(GoOnDespite, AsksOnceNamingEveryFileAndFollowsTheAnswer) {
    std::vector<Asked> asked;
    auto answering = [&asked](int answer) -> MessageSink {
        return [&asked, answer](const std::string& text, const std::string& caption,
                                platform::UINT type) {
            asked.push_back({text, caption, type});
            return answer;
        };
    };
    EXPECT_TRUE(goOnDespite({}, "C:\\Inst", answering(IDNO)));
    EXPECT_TRUE(asked.empty());

    const std::vector<CopyFailure> failures{{"Linkhold16.arx", "not found in the setup folder"},
                                            {"lnkhold.hlp", "access denied"}};
    EXPECT_FALSE(goOnDespite(failures, "C:\\Inst", answering(IDNO)));
    EXPECT_TRUE(goOnDespite(failures, "C:\\Inst", answering(IDYES)));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].caption, "Installation Error");
    EXPECT_EQ(asked[0].type, platform::MB_YESNO | platform::MB_ICONQUESTION);
    EXPECT_EQ(asked[0].text,
              "These files could not be copied to C:\\Inst:\n\n"
              "Linkhold16.arx: not found in the setup folder\n"
              "lnkhold.hlp: access denied\n\n"
              "Without them the application may not load.\n"
              "Do you want to continue the installation anyway?");
}

}  // namespace
