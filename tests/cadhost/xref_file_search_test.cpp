// The host's file search: places in order, .dwg names found as .dxf, letter case.

#include <gtest/gtest.h>

#include <fstream>

#include "cadhost/xref/file_search.h"
#include "platform/host_path.h"
#include "support/temp_prefix.h"

namespace {

using cadhost::xref::findFile;
using cadhost::xref::SearchPath;

struct Folders {
    testsupport::TempPrefix prefix;
    std::string host = platform::nativeToHost(prefix.scratch());

    std::string make(const std::string& relative) {
        std::filesystem::path native = prefix.scratch() / relative;
        std::filesystem::create_directories(native.parent_path());
        std::ofstream(native) << "x";
        return host + "\\" + std::string(relative.begin(), relative.end());
    }
    std::string at(std::string relative) {
        std::replace(relative.begin(), relative.end(), '/', '\\');
        return host + "\\" + relative;
    }
};

TEST(XrefFileSearch, PlacesAreSearchedInOrder) {
    Folders f;
    f.make("dwg/plan.dxf");
    f.make("one/plan.dxf");
    f.make("two/plan.dxf");
    f.make("two/only.dxf");
    f.make("prog/tools.dxf");
    const SearchPath path{{f.at("one"), f.at("two")}, f.at("prog")};
    EXPECT_EQ(findFile("plan.dxf", f.at("dwg"), path), f.at("dwg/plan.dxf"));
    EXPECT_EQ(findFile("plan.dxf", f.at("none"), path), f.at("one/plan.dxf"));
    EXPECT_EQ(findFile("only.dxf", f.at("dwg"), path), f.at("two/only.dxf"));
    EXPECT_EQ(findFile("tools.dxf", f.at("dwg"), path), f.at("prog/tools.dxf"));
    // An absolute or relative path that does not lead to the file falls back to its name.
    EXPECT_EQ(findFile(f.at("gone/only.dxf"), f.at("dwg"), path), f.at("two/only.dxf"));
    EXPECT_EQ(findFile("..\\two\\plan.dxf", f.at("dwg"), path), f.at("two/plan.dxf"));
    EXPECT_EQ(findFile("missing.dxf", f.at("dwg"), path), std::nullopt);
    EXPECT_EQ(findFile("", f.at("dwg"), path), std::nullopt);
    EXPECT_EQ(findFile("dwg\\", f.at(""), path), std::nullopt);
}

TEST(XrefFileSearch, DwgNamesAreFoundAsTheDxfBesideThemAndCaseIsIgnored) {
    Folders f;
    f.make("a/Plan.dxf");
    f.make("b/both.dwg");
    f.make("b/both.dxf");
    const SearchPath none;
    EXPECT_EQ(findFile("plan.dwg", f.at("a"), none), f.at("a/plan.dxf"));
    EXPECT_EQ(findFile("PLAN.DWG", f.at("a"), none), f.at("a/PLAN.DXF"));
    EXPECT_EQ(findFile(f.at("A/PLAN.dxf"), "", none), f.at("A/PLAN.dxf"));
    EXPECT_EQ(findFile("both.dwg", f.at("b"), none), f.at("b/both.dwg"));  // the .dwg first
    EXPECT_EQ(findFile("plan.dwgx", f.at("a"), none), std::nullopt);
    EXPECT_EQ(findFile("a", f.at(""), none), std::nullopt);  // a folder is not a file
}

TEST(XrefFileSearch, SearchPathListsSplitAtSemicolons) {
    EXPECT_EQ(cadhost::xref::splitSearchPath("C:\\one;;D:\\two\\; ;E:"),
              (std::vector<std::string>{"C:\\one", "D:\\two\\", "E:"}));
    EXPECT_TRUE(cadhost::xref::splitSearchPath("").empty());
    EXPECT_EQ(cadhost::xref::hostFolderOf("C:\\a\\b.dxf"), "C:\\a");
    EXPECT_EQ(cadhost::xref::hostFolderOf("C:\\b.dxf"), "C:\\");
    EXPECT_EQ(cadhost::xref::hostFolderOf("b.dxf"), "");
}

}  // namespace
