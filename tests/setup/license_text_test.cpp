#include "setup/license_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/host_path.h"
#include "support/temp_prefix.h"

namespace fs = std::filesystem;

namespace {

class LicenseText : public ::testing::Test {
  protected:
    void write(const std::string& name, const std::string& text) {
        std::ofstream(prefix.scratch() / name, std::ios::binary) << text;
    }
    std::string load() const {
        return setup::loadLicenseText(platform::nativeToHost(prefix.scratch()));
    }
    static void copyFixture(const char* name, const fs::path& to) {
        fs::copy_file(fs::path(LZ_DATA_DIR) / name, to, fs::copy_options::overwrite_existing);
    }
    testsupport::TempPrefix prefix;
};

TEST_F(LicenseText, PlainFileWinsOverTheCompressedOne) {
    write("license.txt", "Terms\r\nof use\r\n");
    copyFixture("short.txt_", prefix.scratch() / "license.tx_");
    EXPECT_EQ(load(), "Terms\r\nof use\r\n");
}

TEST_F(LicenseText, CompressedFileIsExpanded) {
    copyFixture("short.txt_", prefix.scratch() / "license.tx_");
    EXPECT_EQ(load(), "Hello hello hello hello world\r\nline two\r\n");
}

TEST_F(LicenseText, EmptyMissingOrBrokenGiveTheDownloadNote) {
    EXPECT_EQ(load(), setup::kLicenseMissingText);
    copyFixture("empty.txt_", prefix.scratch() / "license.tx_");
    EXPECT_EQ(load(), setup::kLicenseMissingText);
    write("license.tx_", std::string("SZDD\x88\xF0\x27\x33"
                                     "A\0\x30\0\0\0\xff"
                                     "ab",
                                     17));
    EXPECT_EQ(load(), setup::kLicenseMissingText);
    write("license.txt", "");
    EXPECT_EQ(load(), setup::kLicenseMissingText);
    EXPECT_TRUE(std::string(setup::kLicenseMissingText)
                    .starts_with("License.txt could not be found or read.  Please download\r\n"
                                 "and read license.txt from\r\nhttps://"));
}

}  // namespace
