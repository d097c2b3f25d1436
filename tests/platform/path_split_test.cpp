#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "platform/splitpath.h"

using platform::PathSplit;
using platform::splitPath;

namespace {

void expectSplit(const char* path, const char* drive, const char* dir, const char* fname,
                 const char* ext) {
    const PathSplit parts = splitPath(path);
    EXPECT_EQ(parts.drive, drive) << path;
    EXPECT_EQ(parts.dir, dir) << path;
    EXPECT_EQ(parts.fname, fname) << path;
    EXPECT_EQ(parts.ext, ext) << path;
}

}  // namespace

TEST(SplitPath, FullRelativeBareAndNetworkPaths) {
    expectSplit(R"(C:\xrefs\base.dwg)", "C:", R"(\xrefs\)", "base", ".dwg");
    expectSplit("base.dwg", "", "", "base", ".dwg");
    expectSplit(R"(..\xrefs\base.dwg)", "", R"(..\xrefs\)", "base", ".dwg");
    // A network path has no drive letter: the server and share are part of the folder.
    expectSplit(R"(\\srv\share\a\b.dwg)", "", R"(\\srv\share\a\)", "b", ".dwg");
    expectSplit(R"(\a\b.dwg)", "", R"(\a\)", "b", ".dwg");
}

TEST(SplitPath, BothSeparatorsAndTheLastOneEndsTheFolder) {
    expectSplit("c:/one\\two/three.txt", "c:", "/one\\two/", "three", ".txt");
    expectSplit(R"(C:\dir.v2\name)", "C:", R"(\dir.v2\)", "name", "");
    expectSplit(R"(C:\a\)", "C:", R"(\a\)", "", "");
}

TEST(SplitPath, ExtensionIsFromTheLastDotOfTheName) {
    expectSplit("archive.tar.gz", "", "", "archive.tar", ".gz");
    expectSplit(".cfg", "", "", "", ".cfg");
    expectSplit(R"(C:\a\name.)", "C:", R"(\a\)", "name", ".");
    expectSplit("..", "", "", ".", ".");
}

TEST(SplitPath, DriveIsAnyTwoCharactersEndingInAColon) {
    expectSplit("C:", "C:", "", "", "");
    expectSplit("C:name.dwg", "C:", "", "name", ".dwg");
    expectSplit("", "", "", "", "");
    expectSplit(":", "", "", ":", "");
}

TEST(SplitPath, PartsPutTogetherGiveThePathBack) {
    for (const char* path : {"C:\\a.b\\c.d.e", "\\\\x\\y", "z:.", "a/b/.c", "..\\..\\"}) {
        const PathSplit p = splitPath(path);
        EXPECT_EQ(p.drive + p.dir + p.fname + p.ext, path);
    }
}

TEST(SplitPathBuffers, LongPartsAreCutToTheirBuffers) {
    const std::string longDir = "C:\\" + std::string(400, 'd') + "\\";
    const std::string path = longDir + std::string(300, 'f') + "." + std::string(300, 'e');
    // Each buffer is followed by a guard that must stay untouched.
    struct Buffers {
        std::array<char, platform::_MAX_DRIVE + 8> drive;
        std::array<char, platform::_MAX_DIR + 8> dir;
        std::array<char, platform::_MAX_FNAME + 8> fname;
        std::array<char, platform::_MAX_EXT + 8> ext;
    } b;
    std::memset(&b, '#', sizeof b);
    platform::_splitpath(path.c_str(), b.drive.data(), b.dir.data(), b.fname.data(), b.ext.data());
    EXPECT_STREQ(b.drive.data(), "C:");
    EXPECT_EQ(std::strlen(b.dir.data()), platform::_MAX_DIR - 1);
    EXPECT_EQ(std::string(b.dir.data(), 4), "\\ddd");
    EXPECT_EQ(std::strlen(b.fname.data()), platform::_MAX_FNAME - 1);
    EXPECT_EQ(std::strlen(b.ext.data()), platform::_MAX_EXT - 1);
    EXPECT_EQ(b.ext[0], '.');
    EXPECT_EQ(b.dir[platform::_MAX_DIR], '#');
    EXPECT_EQ(b.fname[platform::_MAX_FNAME], '#');
    EXPECT_EQ(b.ext[platform::_MAX_EXT], '#');
}

TEST(SplitPathBuffers, NullBuffersAreSkippedAndNullPathEmptiesTheRest) {
    char fname[platform::_MAX_FNAME] = "old";
    char ext[platform::_MAX_EXT] = "old";
    platform::_splitpath("C:\\a\\b.c", nullptr, nullptr, fname, nullptr);
    EXPECT_STREQ(fname, "b");
    platform::_splitpath(nullptr, nullptr, nullptr, fname, ext);
    EXPECT_STREQ(fname, "");
    EXPECT_STREQ(ext, "");
}
