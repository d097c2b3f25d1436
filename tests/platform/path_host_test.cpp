#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/current_folder.h"
#include "platform/drive_map.h"
#include "platform/host_path.h"
#include "support/temp_prefix.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

class HostPath : public ::testing::Test {
  protected:
    testsupport::TempPrefix prefix;
    fs::path driveC = fs::canonical(prefix.root() / "drive_c");

    // A scratch folder as drive <letter>:.
    fs::path addDrive(char letter, const std::string& folder) {
        const fs::path target = prefix.scratch() / folder;
        fs::create_directories(target);
        fs::create_directory_symlink(target,
                                     prefix.root() / "dosdevices" / std::string{letter, ':'});
        return fs::canonical(target);
    }

    std::string full(std::string_view host) {
        const auto result = fullHostPath(host);
        EXPECT_TRUE(result.ok()) << host << " error " << result.error;
        return result.value;
    }

    fs::path native(std::string_view host) {
        const auto result = hostToNative(host);
        EXPECT_TRUE(result.ok()) << host << " error " << result.error;
        return result.value;
    }
};

void touch(const fs::path& file) {
    std::ofstream(file) << "x";
}

}  // namespace

TEST_F(HostPath, FullFormNormalisesSeparatorsDotsAndTrailingDotsAndSpaces) {
    EXPECT_EQ(full("c:/a/b"), R"(C:\a\b)");
    EXPECT_EQ(full(R"(C:\a\.\b\..\c\\d\)"), R"(C:\a\c\d)");
    EXPECT_EQ(full(R"(C:\..\..\x)"), R"(C:\x)");
    EXPECT_EQ(full(R"(C:\name. . \other...)"), R"(C:\name\other)");
    EXPECT_EQ(full(R"(C:\a\... \b)"), R"(C:\a\b)");
    EXPECT_EQ(full(R"(\\srv\share\..\..\x)"), R"(\\srv\share\x)");
    EXPECT_EQ(full("C:\\"), "C:\\");
}

TEST_F(HostPath, RelativeFormsStartAtTheCurrentFolder) {
    setCurrentHostFolder(R"(C:\work\sub)");
    EXPECT_EQ(full(R"(a\b)"), R"(C:\work\sub\a\b)");
    EXPECT_EQ(full(R"(..\x)"), R"(C:\work\x)");
    EXPECT_EQ(full(R"(\rooted)"), R"(C:\rooted)");
    // A bare drive means that drive's current folder, or its root when the current folder
    // is elsewhere.
    EXPECT_EQ(full("C:"), R"(C:\work\sub)");
    EXPECT_EQ(full("c:file"), R"(C:\work\sub\file)");
    EXPECT_EQ(full("D:"), "D:\\");
    EXPECT_EQ(full("D:file"), R"(D:\file)");
    setCurrentHostFolder(R"(\\srv\share\dir)");
    EXPECT_EQ(full(R"(\top)"), R"(\\srv\share\top)");
    EXPECT_EQ(full(R"(..\..\..\up)"), R"(\\srv\share\up)");
}

// What a user types may be a host path or a native one; both give the full host path.
TEST_F(HostPath, TypedNamesAreHostOrNativePaths) {
    setCurrentHostFolder(R"(C:\work)");
    EXPECT_EQ(typedFullHostPath(R"(a\b.dxf)").value, R"(C:\work\a\b.dxf)");
    EXPECT_EQ(typedFullHostPath((driveC / "x" / ".." / "y.dxf").string()).value, R"(C:\y.dxf)");
    const char* home = std::getenv("HOME");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(typedFullHostPath("~/plan.dxf").value, nativeToHost(fs::path(home) / "plan.dxf"));
    EXPECT_FALSE(typedFullHostPath("a|b").ok());
    EXPECT_FALSE(typedFullHostPath("").ok());
}

TEST_F(HostPath, MalformedPathsAreErrors) {
    EXPECT_EQ(fullHostPath("").error, ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(fullHostPath("\\\\").error, ERROR_INVALID_NAME);
    EXPECT_EQ(fullHostPath(R"(\\server)").error, ERROR_INVALID_NAME);
    EXPECT_EQ(fullHostPath(R"(\\server\)").error, ERROR_INVALID_NAME);
    EXPECT_EQ(fullHostPath(R"(C:\a?b)").error, ERROR_INVALID_NAME);
    EXPECT_EQ(fullHostPath(R"(C:\a:b)").error, ERROR_INVALID_NAME);
    EXPECT_EQ(fullHostPath(R"(1:\a)").error, ERROR_INVALID_NAME);
    EXPECT_EQ(fullHostPath(std::string("C:\\a\0b", 6)).error, ERROR_INVALID_NAME);
    EXPECT_EQ(hostToNative(R"(Q:\a)").error, ERROR_INVALID_DRIVE);
}

TEST_F(HostPath, LengthLimits) {
    const std::string name300 = std::string(150, 'a') + "\\" + std::string(149, 'b');
    EXPECT_EQ(native("C:\\" + name300), driveC / std::string(150, 'a') / std::string(149, 'b'));
    EXPECT_EQ(fullHostPath("C:\\" + std::string(256, 'n')).error, ERROR_FILENAME_EXCED_RANGE);

    std::string deep = "C:";
    while (deep.size() < 40000) {
        deep += "\\" + std::string(99, 'd');
    }
    EXPECT_EQ(fullHostPath(deep).error, ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(hostToNative(deep).error, ERROR_FILENAME_EXCED_RANGE);
    // Short text that grows past the limit once put after a long current folder.
    setCurrentHostFolder(deep.substr(0, 32700));
    EXPECT_EQ(fullHostPath(std::string(200, 'x')).error, ERROR_FILENAME_EXCED_RANGE);
}

TEST_F(HostPath, NamesMatchIgnoringCaseExactFirst) {
    fs::create_directories(driveC / "Xrefs" / "Plans");
    touch(driveC / "Xrefs" / "Plans" / "Base.DWG");
    touch(driveC / "Xrefs" / "Plans" / "base.dwg");
    EXPECT_EQ(native(R"(c:\XREFS\plans\BASE.DWG)"), driveC / "Xrefs" / "Plans" / "Base.DWG");
    EXPECT_EQ(native(R"(C:\xrefs\Plans\base.dwg)"), driveC / "Xrefs" / "Plans" / "base.dwg");
    EXPECT_EQ(native(R"(C:\xrefs\Plans\Base.DWG)"), driveC / "Xrefs" / "Plans" / "Base.DWG");
}

TEST_F(HostPath, NonAsciiNamesMatchIgnoringCaseAndStrayBytesMatchExactly) {
    fs::create_directories(driveC / "\xc3\x84rger");  // "Ärger"
    EXPECT_EQ(native("C:\\\xc3\xa4RGER"), driveC / "\xc3\x84rger");
    fs::create_directories(driveC / "bad\xe9name");
    EXPECT_EQ(native("C:\\BAD\xe9NAME"), driveC / "bad\xe9name");
    // 0xC9 is not the upper case of the stray byte 0xE9: no match, kept as given.
    EXPECT_EQ(native("C:\\bad\xc9name"), driveC / "bad\xc9name");
}

TEST_F(HostPath, FolderListingsMatchExistingNamesAsHostToNativeDoes) {
    fs::create_directories(driveC / "Xrefs" / "Plans");
    touch(driveC / "Xrefs" / "Plans" / "Base.DWG");
    touch(driveC / "Xrefs" / "Plans" / "base.dwg");
    fs::create_directories(driveC / "\xc3\x84rger");
    touch(driveC / "\xc3\x84rger" / "x");
    FolderListings pass;
    // Exact names first while a folder is unread, case variants that make it read, then both
    // again from what was read.
    for (const char* host :
         {R"(C:\xrefs\Plans\base.dwg)", R"(c:\XREFS\plans\BASE.DWG)", R"(C:\xrefs\Plans\Base.DWG)",
          R"(C:\Xrefs\PLANS\base.dwg)", R"(C:\Xrefs\PLANS\bASE.dwg)", "C:\\\xc3\xa4RGER\\X",
          R"(C:\Xrefs)", R"(C:\)"}) {
        const auto listed = pass.existing(host);
        ASSERT_TRUE(listed.ok()) << host << " error " << listed.error;
        EXPECT_EQ(listed.value, native(host)) << host;
    }
    EXPECT_EQ(pass.existing(R"(C:\XREFS\PLANS\BASE.DWG)").value,
              driveC / "Xrefs" / "Plans" / "Base.DWG");
    EXPECT_EQ(pass.existing(R"(C:\Xrefs\Plans\none.dwg)").error, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(pass.existing(R"(C:\Xrefs\None\base.dwg)").error, ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(pass.existing(R"(Q:\a)").error, ERROR_INVALID_DRIVE);
    EXPECT_EQ(pass.existing("C:\\a|b").error, ERROR_INVALID_NAME);

    // A name made after a pass read its folder is there for the next pass.
    touch(driveC / "Xrefs" / "Plans" / "Late.dwg");
    EXPECT_EQ(FolderListings().existing(R"(C:\xrefs\plans\LATE.dwg)").value,
              driveC / "Xrefs" / "Plans" / "Late.dwg");
}

TEST_F(HostPath, FolderListingsTellFilesAndGiveTheFullHostForm) {
    const fs::path plans = driveC / "Plans";
    fs::create_directories(plans / "Sub");
    touch(plans / "Base.dxf");
    fs::create_symlink(plans / "Base.dxf", plans / "link.dxf");
    fs::create_directory_symlink(plans / "Sub", plans / "folder.dxf");
    fs::create_symlink(plans / "gone.dxf", plans / "dangling.dxf");
    // First with the folder unread, each exact name found by lstat; then from its listing.
    for (const bool listed : {false, true}) {
        SCOPED_TRACE(listed ? "listed" : "unread");
        FolderListings pass;
        if (listed) {
            EXPECT_EQ(pass.existing(R"(C:\Plans\none)").error, ERROR_FILE_NOT_FOUND);
        }
        std::string full;
        EXPECT_EQ(pass.existingFile(R"(C:\Plans\Base.dxf)", &full).value, plans / "Base.dxf");
        EXPECT_EQ(full, R"(C:\Plans\Base.dxf)");
        EXPECT_EQ(pass.existingFile(R"(C:\Plans\link.dxf)").value, plans / "link.dxf");
        for (const char* notFile :
             {R"(C:\Plans\Sub)", R"(C:\Plans\folder.dxf)", R"(C:\Plans\dangling.dxf)", R"(C:\)"}) {
            EXPECT_EQ(pass.existingFile(notFile, &full).error, ERROR_FILE_NOT_FOUND) << notFile;
        }
        EXPECT_EQ(pass.existingFile(R"(c:/plans/./x/../BASE.DXF. )", &full).value,
                  plans / "Base.dxf");
        EXPECT_EQ(full, R"(C:\plans\BASE.DXF)");
        EXPECT_EQ(pass.existing(R"(c:\plans\sub)", &full).value, plans / "Sub");
        EXPECT_EQ(full, R"(C:\plans\sub)");
        EXPECT_EQ(pass.existing("c:", &full).error, ERROR_SUCCESS);
        EXPECT_EQ(full, fullHostPath("c:").value);
    }
}

TEST_F(HostPath, MissingNamesAreKeptAsGivenFromTheFirstMissingOne) {
    fs::create_directories(driveC / "Have");
    EXPECT_EQ(native(R"(C:\HAVE\New Folder\Sub)"), driveC / "Have" / "New Folder" / "Sub");
}

TEST_F(HostPath, DotDotCannotLeaveTheDrive) {
    const fs::path d = addDrive('d', "ddrive");
    EXPECT_EQ(native(R"(D:\..\..\..\etc)"), d / "etc");
}

TEST_F(HostPath, UncPathsResolveOnlyThroughDosdevicesUnc) {
    const fs::path share = prefix.scratch() / "shared";
    fs::create_directories(share / "Docs");
    fs::create_directories(prefix.root() / "dosdevices" / "unc" / "Server");
    fs::create_directory_symlink(share, prefix.root() / "dosdevices" / "unc" / "Server" / "Share");
    EXPECT_EQ(native(R"(\\SERVER\share\docs\new.dwg)"), fs::canonical(share) / "Docs" / "new.dwg");
    EXPECT_EQ(hostToNative(R"(\\other\share\x)").error, ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(hostToNative(R"(\\server\missing)").error, ERROR_PATH_NOT_FOUND);
}

TEST_F(HostPath, DanglingDriveIsPathNotFound) {
    fs::create_directory_symlink(prefix.scratch() / "gone", prefix.root() / "dosdevices" / "e:");
    EXPECT_EQ(hostToNative(R"(E:\x)").error, ERROR_PATH_NOT_FOUND);
}

TEST_F(HostPath, NativeToHostTakesTheLongestDriveRoot) {
    const fs::path d = addDrive('D', "outer");
    fs::create_directories(d / "inner" / "deep");
    fs::create_directory_symlink(d / "inner", prefix.root() / "dosdevices" / "g:");
    EXPECT_EQ(nativeToHost(d / "inner" / "deep" / "f.dwg"), R"(G:\deep\f.dwg)");
    EXPECT_EQ(nativeToHost(d / "other"), R"(D:\other)");
    EXPECT_EQ(nativeToHost(d), "D:\\");
    EXPECT_EQ(nativeToHost(driveC / "a" / ".." / "b"), R"(C:\b)");
    // Through the drive link itself, as hostToNative's results may be given back.
    EXPECT_EQ(nativeToHost(prefix.root() / "dosdevices" / "c:" / "x"), R"(C:\x)");
}

TEST_F(HostPath, NativeOutsideEveryDriveIsShownOnZ) {
    fs::remove(prefix.root() / "dosdevices" / "z:");
    EXPECT_EQ(nativeToHost("/proc/self/../version"), R"(Z:\proc\version)");
    EXPECT_EQ(driveMask(), 1u << 2);
}

TEST_F(HostPath, DriveLinkChangesAreSeenAtOnce) {
    EXPECT_EQ(hostToNative(R"(K:\)").error, ERROR_INVALID_DRIVE);
    // A change within one tick of the file system's clock leaves the folder's time as it was.
    const fs::path dosdevices = prefix.root() / "dosdevices";
    const auto before = fs::last_write_time(dosdevices);
    const fs::path k = addDrive('k', "kdrive");
    fs::last_write_time(dosdevices, before);
    EXPECT_EQ(native(R"(K:\)"), k);
    fs::remove(prefix.root() / "dosdevices" / "k:");
    EXPECT_EQ(hostToNative(R"(K:\)").error, ERROR_INVALID_DRIVE);
    // A folder named as a drive serves as the drive itself.
    fs::create_directory(prefix.root() / "dosdevices" / "M:");
    EXPECT_EQ(native(R"(m:\new)"), fs::canonical(prefix.root() / "dosdevices" / "M:") / "new");
}

TEST_F(HostPath, RoundTripThroughNativeForm) {
    fs::create_directories(driveC / "Program Files" / "Tarnwick");
    const std::string host = R"(C:\PROGRAM FILES\tarnwick\Linkhold16)";
    EXPECT_EQ(nativeToHost(native(host)), R"(C:\Program Files\Tarnwick\Linkhold16)");
}

TEST_F(HostPath, CurrentFolderStartsAsTheHostFormOfTheWorkingFolder) {
    const std::string start = currentHostFolder();
    EXPECT_EQ(hostRoot(start), "Z:");
    EXPECT_EQ(native(start), fs::current_path());
}
