// The host's file search: places in order, .dwg names found as .dxf, letter case.

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string_view>

#include "cadhost/app/host_registration.h"
#include "cadhost/app/registry_key.h"
#include "cadhost/xref/file_search.h"
#include "cadhost/xref/host_search.h"
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

// Each search runs on its own, or all searches of a test run in one pass as the searches of a
// drawing's open do, reading each folder once: both ways find the same files.
class XrefFileSearch : public ::testing::TestWithParam<bool> {
  protected:
    Folders f;
    platform::FolderListings pass;

    std::optional<std::string> find(std::string_view name, const std::string& drawingFolder,
                                    const SearchPath& path) {
        return GetParam() ? findFile(name, drawingFolder, path, pass)
                          : findFile(name, drawingFolder, path);
    }
};

INSTANTIATE_TEST_SUITE_P(, XrefFileSearch, ::testing::Values(false, true),
                         [](const auto& param) { return param.param ? "OnePass" : "EachAlone"; });

TEST_P(XrefFileSearch, PlacesAreSearchedInOrder) {
    f.make("dwg/plan.dxf");
    f.make("one/plan.dxf");
    f.make("two/plan.dxf");
    f.make("two/only.dxf");
    f.make("prog/tools.dxf");
    const SearchPath path{{f.at("one"), f.at("missing"), f.at("two")}, f.at("prog")};
    EXPECT_EQ(find("plan.dxf", f.at("dwg"), path), f.at("dwg/plan.dxf"));
    EXPECT_EQ(find("plan.dxf", f.at("none"), path), f.at("one/plan.dxf"));
    EXPECT_EQ(find("only.dxf", f.at("dwg"), path), f.at("two/only.dxf"));
    EXPECT_EQ(find("tools.dxf", f.at("dwg"), path), f.at("prog/tools.dxf"));
    // An absolute or relative path that does not lead to the file falls back to its name.
    EXPECT_EQ(find(f.at("gone/only.dxf"), f.at("dwg"), path), f.at("two/only.dxf"));
    EXPECT_EQ(find("..\\two\\plan.dxf", f.at("dwg"), path), f.at("two/plan.dxf"));
    EXPECT_EQ(find(f.at("one/plan.dxf"), f.at("dwg"), path), f.at("one/plan.dxf"));
    EXPECT_EQ(find("missing.dxf", f.at("dwg"), path), std::nullopt);
    EXPECT_EQ(find("", f.at("dwg"), path), std::nullopt);
    EXPECT_EQ(find("dwg\\", f.at(""), path), std::nullopt);
    // Folders read for earlier names answer for later ones.
    EXPECT_EQ(find("plan.dxf", f.at("dwg"), path), f.at("dwg/plan.dxf"));
    EXPECT_EQ(find("only.dxf", f.at("one"), path), f.at("two/only.dxf"));
}

TEST_P(XrefFileSearch, DwgNamesAreFoundAsTheDxfBesideThemAndCaseIsIgnored) {
    f.make("a/Plan.dxf");
    f.make("b/both.dwg");
    f.make("b/both.dxf");
    const SearchPath none;
    EXPECT_EQ(find("plan.dwg", f.at("a"), none), f.at("a/plan.dxf"));
    EXPECT_EQ(find("PLAN.DWG", f.at("a"), none), f.at("a/PLAN.DXF"));
    EXPECT_EQ(find(f.at("A/PLAN.dxf"), "", none), f.at("A/PLAN.dxf"));
    EXPECT_EQ(find("both.dwg", f.at("b"), none), f.at("b/both.dwg"));  // the .dwg first
    EXPECT_EQ(find("BOTH.DWG", f.at("B"), none), f.at("B/BOTH.DWG"));
    EXPECT_EQ(find("plan.dwgx", f.at("a"), none), std::nullopt);
    EXPECT_EQ(find("a", f.at(""), none), std::nullopt);  // a folder is not a file
}

TEST_P(XrefFileSearch, AnExactNameGoesBeforeNamesThatDifferInCase) {
    // "Mixed.dxf" is a folder and "mixed.dxf" a file: the exact name wins, else the byte-wise
    // first name that differs only in case, which here is the folder, so nothing is found.
    std::filesystem::create_directories(f.prefix.scratch() / "c" / "Mixed.dxf");
    f.make("c/mixed.dxf");
    const SearchPath none;
    EXPECT_EQ(find("MIXED.dxf", f.at("c"), none), std::nullopt);
    EXPECT_EQ(find("mixed.dxf", f.at("c"), none), f.at("c/mixed.dxf"));
    EXPECT_EQ(find("MIXED.dxf", f.at("c"), none), std::nullopt);
    EXPECT_EQ(find("Mixed.dwg", f.at("C"), none), std::nullopt);
    EXPECT_EQ(find("mixed.dwg", f.at("C"), none), f.at("C/mixed.dxf"));
}

TEST_P(XrefFileSearch, LinksCountAsWhatTheyLeadTo) {
    f.make("real/plan.dxf");
    const std::filesystem::path scratch = f.prefix.scratch();
    for (const char* folder : {"one", "two", "three"}) {
        std::filesystem::create_directories(scratch / folder);
    }
    std::filesystem::create_directory_symlink(scratch / "real", scratch / "one" / "plan.dxf");
    std::filesystem::create_symlink(scratch / "real" / "gone.dxf", scratch / "two" / "plan.dxf");
    std::filesystem::create_symlink(scratch / "real" / "plan.dxf", scratch / "three" / "PLAN.dxf");
    const SearchPath path{{f.at("one"), f.at("two"), f.at("three")}, ""};
    EXPECT_EQ(find("plan.dwg", f.at("none"), path), f.at("three/plan.dxf"));
    EXPECT_EQ(find("one\\plan.dxf", f.at(""), path), f.at("three/plan.dxf"));
}

TEST(XrefFileSearchPasses, AFileMadeAfterASearchIsFoundByTheNextSearch) {
    Folders f;
    f.make("one/other.dxf");
    const SearchPath path{{f.at("one"), f.at("two")}, ""};
    platform::FolderListings first;
    EXPECT_EQ(findFile("late.dwg", f.at("dwg"), path, first), std::nullopt);
    f.make("two/late.dxf");
    EXPECT_EQ(findFile("late.dwg", f.at("dwg"), path), f.at("two/late.dxf"));
    platform::FolderListings next;
    EXPECT_EQ(findFile("late.dwg", f.at("dwg"), path, next), f.at("two/late.dxf"));
    f.make("one/Late.dxf");  // now earlier on the path
    EXPECT_EQ(findFile("late.dwg", f.at("dwg"), path), f.at("one/late.dxf"));
}

// The host's searches (acedFindFile) share one pass per command: what a command's searches
// read serves its later searches, and the next command reads anew.
TEST(XrefFileSearchPasses, AFileMadeDuringACommandIsFoundByTheNextCommand) {
    Folders f;
    ASSERT_EQ(cadhost::app::registerHost(), "");
    const cadhost::app::RegistryKey general(platform::HKEY_CURRENT_USER,
                                            cadhost::app::profileKey() + "\\General", true);
    ASSERT_EQ(general.writeString("ACAD", f.at("gone") + ";" + f.at("support")),
              platform::ERROR_SUCCESS);
    f.make("support/other.dxf");
    using cadhost::xref::findHostFile;
    {
        const cadhost::xref::FindFilePass command;
        EXPECT_EQ(findHostFile("late.dwg", ""), std::nullopt);
        EXPECT_EQ(findHostFile("OTHER.dwg", ""), f.at("support/OTHER.dxf"));
        f.make("support/late.dxf");
        {
            const cadhost::xref::FindFilePass inner;  // a command run inside another
            EXPECT_EQ(findHostFile("late.dwg", ""), f.at("support/late.dxf"));
        }
    }
    EXPECT_EQ(findHostFile("late.dwg", ""), f.at("support/late.dxf"));  // outside any command
    std::filesystem::remove(f.prefix.scratch() / "support" / "late.dxf");
    const cadhost::xref::FindFilePass next;
    EXPECT_EQ(findHostFile("late.dwg", ""), std::nullopt);
    // The search path is read at the pass's first search: a new path shows in the next pass.
    ASSERT_EQ(general.writeString("ACAD", f.at("elsewhere")), platform::ERROR_SUCCESS);
    f.make("elsewhere/moved.dxf");
    EXPECT_EQ(findHostFile("other.dwg", ""), f.at("support/other.dxf"));
    const cadhost::xref::FindFilePass after;
    EXPECT_EQ(findHostFile("other.dwg", ""), std::nullopt);
    EXPECT_EQ(findHostFile("moved.dwg", ""), f.at("elsewhere/moved.dxf"));
    // Within one long command (a dialog), what the user did before an answer, a key or a click
    // is seen by the searches after it.
    f.make("elsewhere/copied.dxf");
    EXPECT_EQ(findHostFile("copied.dwg", ""), std::nullopt);
    cadhost::xref::FindFilePass::userActed();
    EXPECT_EQ(findHostFile("copied.dwg", ""), f.at("elsewhere/copied.dxf"));
    std::filesystem::remove(f.prefix.scratch() / "elsewhere" / "moved.dxf");
    ASSERT_EQ(general.writeString("ACAD", f.at("support")), platform::ERROR_SUCCESS);
    cadhost::xref::FindFilePass::userActed();
    EXPECT_EQ(findHostFile("moved.dwg", ""), std::nullopt);
    EXPECT_EQ(findHostFile("other.dwg", ""), f.at("support/other.dxf"));
}

TEST(XrefSearchPathList, SplitsAtSemicolons) {
    EXPECT_EQ(cadhost::xref::splitSearchPath("C:\\one;;D:\\two\\; ;E:"),
              (std::vector<std::string>{"C:\\one", "D:\\two\\", "E:"}));
    EXPECT_TRUE(cadhost::xref::splitSearchPath("").empty());
    EXPECT_EQ(cadhost::xref::hostFolderOf("C:\\a\\b.dxf"), "C:\\a");
    EXPECT_EQ(cadhost::xref::hostFolderOf("C:\\b.dxf"), "C:\\");
    EXPECT_EQ(cadhost::xref::hostFolderOf("b.dxf"), "");
}

}  // namespace
