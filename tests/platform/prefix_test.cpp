#include "platform/prefix.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

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

// Sets an environment variable for one scope and puts the old value back afterwards.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(Prefix, DefaultRootFollowsEnvironment) {
    ScopedEnv home("HOME", "/home/u");
    {
        ScopedEnv prefix("CADHOST_PREFIX", "/x/y");
        ScopedEnv xdg("XDG_DATA_HOME", "/data");
        EXPECT_EQ(platform::Prefix::defaultRoot(), fs::path("/x/y"));
    }
    ScopedEnv noPrefix("CADHOST_PREFIX", nullptr);
    {
        ScopedEnv xdg("XDG_DATA_HOME", "/data");
        EXPECT_EQ(platform::Prefix::defaultRoot(), fs::path("/data/cadhost"));
    }
    ScopedEnv noXdg("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(platform::Prefix::defaultRoot(), fs::path("/home/u/.local/share/cadhost"));
}
