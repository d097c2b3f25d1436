#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/prefix.h"
#include "support/temp_prefix.h"

namespace fs = std::filesystem;

TEST(Prefix, FirstUseCreatesDrivesAndProgramFiles) {
    testsupport::TempPrefix prefix;
    const auto& p = platform::currentPrefix();
    EXPECT_TRUE(fs::is_directory(p.driveC() / "Program Files"));
    EXPECT_EQ(fs::read_symlink(p.dosdevices() / "c:"), fs::path("../drive_c"));
    EXPECT_EQ(fs::read_symlink(p.dosdevices() / "z:"), fs::path("/"));
    EXPECT_TRUE(fs::equivalent(p.dosdevices() / "c:", p.driveC()));
}

TEST(Prefix, ExistingDriveLinksAreKept) {
    testsupport::TempDir dir;
    fs::create_directories(dir.path() / "p" / "dosdevices");
    fs::create_directory_symlink(dir.path(), dir.path() / "p" / "dosdevices" / "c:");
    ASSERT_EQ(platform::setCurrentPrefix(dir.path() / "p"), "");
    EXPECT_EQ(fs::read_symlink(dir.path() / "p" / "dosdevices" / "c:"), dir.path());
}

TEST(Prefix, UnwritablePlaceIsReportedNotIgnored) {
    testsupport::TempDir dir;
    // A file where the prefix folder should be: creation must fail with a message.
    std::ofstream(dir.path() / "blocked") << "x";
    EXPECT_NE(platform::setCurrentPrefix(dir.path() / "blocked"), "");
}

TEST(Prefix, GenerationChangesWhenThePrefixChanges) {
    testsupport::TempPrefix a;
    auto g = platform::prefixGeneration();
    testsupport::TempPrefix b;
    EXPECT_NE(platform::prefixGeneration(), g);
}

TEST(Prefix, DefaultRootFollowsEnvironment) {
    setenv("CADHOST_PREFIX", "/x/y", 1);
    EXPECT_EQ(platform::Prefix::defaultRoot(), fs::path("/x/y"));
    unsetenv("CADHOST_PREFIX");
    setenv("XDG_DATA_HOME", "/data", 1);
    EXPECT_EQ(platform::Prefix::defaultRoot(), fs::path("/data/cadhost"));
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(platform::Prefix::defaultRoot(), fs::path("/home/u/.local/share/cadhost"));
}
