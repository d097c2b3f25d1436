#include "platform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_prefix.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

void write(const fs::path& file, const std::string& text) {
    std::ofstream(file) << text;
}

std::string read(const fs::path& file) {
    std::stringstream text;
    text << std::ifstream(file).rdbuf();
    return text.str();
}

struct Found {
    std::string name;
    DWORD attributes;
};

// Every entry a pattern finds, in the order found; the last error when nothing is found.
std::vector<Found> findAll(const std::string& pattern, DWORD* error = nullptr) {
    std::vector<Found> found;
    WIN32_FIND_DATAA data;
    const HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        if (error != nullptr) {
            *error = GetLastError();
        }
        return found;
    }
    do {
        found.push_back({data.cFileName, data.dwFileAttributes});
    } while (FindNextFileA(find, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(find));
    return found;
}

std::vector<std::string> namesOf(const std::vector<Found>& found) {
    std::vector<std::string> names;
    for (const auto& f : found) {
        names.push_back(f.name);
    }
    return names;
}

class Files : public ::testing::Test {
  protected:
    testsupport::TempPrefix prefix;
    fs::path driveC = prefix.root() / "drive_c";
    fs::path dosdevices = prefix.root() / "dosdevices";

    // Native files the test made that no call should have left behind.
    std::set<std::string> entriesOf(const fs::path& folder) {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
};

}  // namespace

TEST_F(Files, StarDotStarListsEveryEntryWithDotsAndAttributes) {
    fs::create_directories(driveC / "work" / "Sub");
    write(driveC / "work" / "plan.dwg", "x");
    write(driveC / "work" / "README", "x");
    write(driveC / "work" / ".hidden", "x");
    write(driveC / "work" / "locked.txt", "x");
    fs::permissions(driveC / "work" / "locked.txt", fs::perms::owner_read);

    const auto found = findAll(R"(C:\WORK\*.*)");
    EXPECT_EQ(namesOf(found), (std::vector<std::string>{".", "..", ".hidden", "README", "Sub",
                                                        "locked.txt", "plan.dwg"}));
    ASSERT_EQ(found.size(), 7u);
    EXPECT_EQ(found[0].attributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(found[2].attributes, FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(found[3].attributes, FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(found[4].attributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(found[5].attributes, FILE_ATTRIBUTE_READONLY);
}

TEST_F(Files, DriveRootListsNoDotEntries) {
    const auto names = namesOf(findAll(R"(C:\*.*)"));
    EXPECT_EQ(names, (std::vector<std::string>{"Program Files"}));
}

TEST_F(Files, WildcardsIgnoreCase) {
    fs::create_directories(driveC / "w");
    for (const char* name : {"A.DWG", "b.dwg", "ab.dwg", "c.dxf", "abc", "a.b.dwg"}) {
        write(driveC / "w" / name, "x");
    }
    EXPECT_EQ(namesOf(findAll(R"(C:\w\*.dwg)")),
              (std::vector<std::string>{"A.DWG", "a.b.dwg", "ab.dwg", "b.dwg"}));
    EXPECT_EQ(namesOf(findAll(R"(C:\w\?.DwG)")), (std::vector<std::string>{"A.DWG", "b.dwg"}));
    EXPECT_EQ(namesOf(findAll(R"(C:\w\a*.*)")),
              (std::vector<std::string>{"A.DWG", "a.b.dwg", "ab.dwg", "abc"}));
    EXPECT_EQ(namesOf(findAll(R"(c:/w/*B*)")),
              (std::vector<std::string>{"a.b.dwg", "ab.dwg", "abc", "b.dwg"}));
}

TEST_F(Files, PatternWithoutWildcardsFindsThatEntry) {
    fs::create_directories(driveC / "Dir");
    write(driveC / "Dir" / "Plan.Dwg", "12345");
    const auto found = findAll(R"(c:\dir\PLAN.DWG)");
    EXPECT_EQ(namesOf(found), (std::vector<std::string>{"Plan.Dwg"}));

    DWORD error = 0;
    EXPECT_TRUE(findAll(R"(C:\Dir\missing.dwg)", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(findAll(R"(C:\nodir\*.*)", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(findAll(R"(C:\Dir\*.xyz)", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(findAll(R"(C:\Di?\*.*)", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_TRUE(findAll(R"(C:\Dir\a:*)", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_TRUE(findAll(R"(C:\Dir\)", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(Files, BadHandlesAreRefused) {
    WIN32_FIND_DATAA data;
    int local = 0;
    EXPECT_FALSE(FindNextFileA(&local, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
    const HANDLE find = FindFirstFileA(R"(C:\*)", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(FindClose(find));
    EXPECT_FALSE(FindClose(find));
    EXPECT_EQ(FindFirstFileA(nullptr, &data), INVALID_HANDLE_VALUE);
}

TEST_F(Files, SizeAboveFourGigabytesUsesTheHighPart) {
    const fs::path big = driveC / "big.dat";
    write(big, "");
    const std::uint64_t size = (std::uint64_t{5} << 30) + 123;
    fs::resize_file(big, size);  // sparse: takes no disk space
    WIN32_FIND_DATAA data;
    const HANDLE find = FindFirstFileA(R"(C:\BIG.DAT)", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    FindClose(find);
    EXPECT_EQ(data.nFileSizeHigh, 1u);
    EXPECT_EQ(data.nFileSizeLow, (1u << 30) + 123);
}

TEST_F(Files, LastWriteTimeConvertsToUtcCalendarTime) {
    const fs::path file = driveC / "dated.txt";
    write(file, "x");
    // 7 March 2004 14:05:09.25 UTC, a Sunday.
    const timespec times[2] = {{1078668309, 250'000'000}, {1078668309, 250'000'000}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    WIN32_FIND_DATAA data;
    FindClose(FindFirstFileA(R"(C:\dated.txt)", &data));
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToSystemTime(&data.ftLastWriteTime, &st));
    EXPECT_EQ(st.wYear, 2004);
    EXPECT_EQ(st.wMonth, 3);
    EXPECT_EQ(st.wDay, 7);
    EXPECT_EQ(st.wDayOfWeek, 0);
    EXPECT_EQ(st.wHour, 14);
    EXPECT_EQ(st.wMinute, 5);
    EXPECT_EQ(st.wSecond, 9);
    EXPECT_EQ(st.wMilliseconds, 250);
}

TEST(FileTime, CalendarEdges) {
    SYSTEMTIME st;
    const FILETIME start{0, 0};
    ASSERT_TRUE(FileTimeToSystemTime(&start, &st));
    EXPECT_EQ(st.wYear, 1601);
    EXPECT_EQ(st.wMonth, 1);
    EXPECT_EQ(st.wDay, 1);
    EXPECT_EQ(st.wDayOfWeek, 1);
    // 29 February 2000, 23:59:59.
    const FILETIME leap = fileTimeFromUnix(951868799, 0);
    ASSERT_TRUE(FileTimeToSystemTime(&leap, &st));
    EXPECT_EQ(st.wYear, 2000);
    EXPECT_EQ(st.wMonth, 2);
    EXPECT_EQ(st.wDay, 29);
    EXPECT_EQ(st.wHour, 23);
    const FILETIME topBit{0, 0x80000000u};
    EXPECT_FALSE(FileTimeToSystemTime(&topBit, &st));
    EXPECT_FALSE(FileTimeToSystemTime(nullptr, &st));
}

// Local time through FileTimeToLocalFileTime, FileTimeToSystemTime and mktime gives the
// instant back, in winter and in summer time, as the row's time test relies on.
TEST(FileTime, LocalTimeRoundTripsThroughMktime) {
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz != nullptr ? oldTz : "";
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    for (const std::int64_t instant : {1078668309LL, 1090000000LL}) {
        const FILETIME utc = fileTimeFromUnix(instant, 0);
        FILETIME local;
        SYSTEMTIME st;
        ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
        ASSERT_TRUE(FileTimeToSystemTime(&local, &st));
        std::tm tm{};
        tm.tm_year = st.wYear - 1900;
        tm.tm_mon = st.wMonth - 1;
        tm.tm_mday = st.wDay;
        tm.tm_hour = st.wHour;
        tm.tm_min = st.wMinute;
        tm.tm_sec = st.wSecond;
        tm.tm_isdst = -1;
        EXPECT_EQ(static_cast<std::int64_t>(mktime(&tm)), instant);
    }
    const FILETIME winter = fileTimeFromUnix(1078668309, 0);  // 14:05 UTC is 15:05 CET
    FILETIME local;
    SYSTEMTIME st;
    FileTimeToLocalFileTime(&winter, &local);
    FileTimeToSystemTime(&local, &st);
    EXPECT_EQ(st.wHour, 15);
    if (oldTz != nullptr) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

TEST_F(Files, CopyCreatesAndOverwritesKeepingTheModificationTime) {
    write(driveC / "src.txt", "new content");
    const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (driveC / "src.txt").c_str(), times, 0), 0);
    ASSERT_TRUE(CopyFileA(R"(C:\SRC.TXT)", R"(C:\copy.txt)", TRUE));
    EXPECT_EQ(read(driveC / "copy.txt"), "new content");
    EXPECT_EQ(fs::last_write_time(driveC / "copy.txt"), fs::last_write_time(driveC / "src.txt"));

    write(driveC / "old.txt", "old content that is longer");
    ASSERT_TRUE(CopyFileA(R"(C:\src.txt)", R"(c:\OLD.TXT)", FALSE));
    EXPECT_EQ(read(driveC / "old.txt"), "new content");
    EXPECT_EQ(entriesOf(driveC),
              (std::set<std::string>{"Program Files", "copy.txt", "old.txt", "src.txt"}));
}

TEST_F(Files, RefusedCopiesLeaveTheDestinationAndNoLeftovers) {
    write(driveC / "src.txt", "source");
    write(driveC / "dst.txt", "keep me");
    EXPECT_FALSE(CopyFileA(R"(C:\src.txt)", R"(C:\dst.txt)", TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));

    write(driveC / "ro.txt", "read-only");
    fs::permissions(driveC / "ro.txt", fs::perms::owner_read);
    EXPECT_FALSE(CopyFileA(R"(C:\src.txt)", R"(C:\ro.txt)", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    EXPECT_FALSE(CopyFileA(R"(C:\src.txt)", R"(C:\SRC.txt)", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    EXPECT_FALSE(CopyFileA(R"(C:\missing.txt)", R"(C:\x.txt)", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(CopyFileA(R"(C:\src.txt)", R"(C:\no\such\x.txt)", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(CopyFileA(R"(C:\Program Files)", R"(C:\x.txt)", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    EXPECT_EQ(read(driveC / "dst.txt"), "keep me");
    EXPECT_EQ(read(driveC / "src.txt"), "source");
    EXPECT_EQ(read(driveC / "ro.txt"), "read-only");
    EXPECT_EQ(entriesOf(driveC),
              (std::set<std::string>{"Program Files", "dst.txt", "ro.txt", "src.txt"}));
}

TEST_F(Files, CurrentFolderIsKeptInHostFormAndRelativePathsFollowIt) {
    ASSERT_EQ(_chdir(R"(c:\program files\)"), 0);
    char buffer[MAX_PATH];
    ASSERT_NE(_getcwd(buffer, sizeof buffer), nullptr);
    EXPECT_STREQ(buffer, R"(C:\program files)");

    write(driveC / "Program Files" / "a.txt", "relative");
    ASSERT_TRUE(CopyFileA("a.txt", R"(..\b.txt)", FALSE));
    EXPECT_EQ(read(driveC / "b.txt"), "relative");

    errno = 0;
    EXPECT_EQ(_chdir(R"(C:\missing)"), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(_chdir(R"(C:\b.txt)"), -1);
    EXPECT_EQ(_chdir(R"(Q:\)"), -1);
    EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, buffer), 16u);
    EXPECT_STREQ(buffer, R"(C:\program files)");
}

TEST_F(Files, CurrentFolderBuffersFollowTheRuntimeRules) {
    ASSERT_TRUE(SetCurrentDirectoryA("C:"));  // the drive's root: the current folder is off C:
    char small[3];
    errno = 0;
    EXPECT_EQ(_getcwd(small, sizeof small), nullptr);
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(GetCurrentDirectoryA(sizeof small, small), 4u);
    char* allocated = _getcwd(nullptr, 0);
    ASSERT_NE(allocated, nullptr);
    EXPECT_STREQ(allocated, "C:\\");
    std::free(allocated);
}

TEST_F(Files, CurrentFolderStartsAgainWithANewPrefix) {
    ASSERT_EQ(_chdir(R"(C:\Program Files)"), 0);
    testsupport::TempPrefix other;
    char buffer[4096];
    ASSERT_NE(_getcwd(buffer, sizeof buffer), nullptr);
    EXPECT_EQ(std::string(buffer).substr(0, 2), "Z:");
}

TEST_F(Files, MakeFolders) {
    EXPECT_EQ(_mkdir(R"(C:\New)"), 0);
    EXPECT_TRUE(fs::is_directory(driveC / "New"));
    errno = 0;
    EXPECT_EQ(_mkdir(R"(c:\NEW)"), -1);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(_mkdir(R"(C:\a\b)"), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(CreateDirectoryA(R"(C:\a\b)", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(CreateDirectoryA(R"(C:\new)", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

TEST_F(Files, AttributesOfFilesFoldersAndRoots) {
    write(driveC / "f.txt", "x");
    EXPECT_EQ(GetFileAttributesA(R"(C:\F.TXT)"), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesA("C:\\"), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesA(R"(C:\none)"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA(R"(C:\none\f)"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(Files, LogicalDrivesAndTheirTypes) {
    fs::create_directory_symlink(prefix.scratch() / "gone", dosdevices / "E:");
    fs::create_symlink("/dev/null", dosdevices / "n:");
    EXPECT_EQ(GetLogicalDrives(), (1u << 2) | (1u << 4) | (1u << 13) | (1u << 25));
    EXPECT_EQ(GetDriveTypeA("E:\\"), DRIVE_NO_ROOT_DIR);  // dangling link
    EXPECT_EQ(GetDriveTypeA("F:\\"), DRIVE_NO_ROOT_DIR);  // no link
    EXPECT_EQ(GetDriveTypeA("N:\\"), DRIVE_UNKNOWN);      // neither folder nor disk
    EXPECT_EQ(GetDriveTypeA(R"(C:\Program Files\)"), DRIVE_NO_ROOT_DIR);

    struct statfs root {};
    ASSERT_EQ(statfs("/", &root), 0);
    if (root.f_type != 0x01021994 /* tmpfs */) {
        EXPECT_EQ(GetDriveTypeA("Z:\\"), DRIVE_FIXED);
        EXPECT_EQ(GetDriveTypeA("z:"), DRIVE_FIXED);
        EXPECT_EQ(GetDriveTypeA("Z:/"), DRIVE_FIXED);
    }
    struct statfs shm {};
    if (statfs("/dev/shm", &shm) == 0 && shm.f_type == 0x01021994) {
        fs::create_directory_symlink("/dev/shm", dosdevices / "r:");
        EXPECT_EQ(GetDriveTypeA("R:\\"), DRIVE_RAMDISK);
    }
}

TEST_F(Files, ShareRootsAreRemoteDrives) {
    fs::create_directories(dosdevices / "unc" / "server" / "share");
    EXPECT_EQ(GetDriveTypeA(R"(\\SERVER\Share\)"), DRIVE_REMOTE);
    EXPECT_EQ(GetDriveTypeA(R"(\\server\other\)"), DRIVE_NO_ROOT_DIR);
}
