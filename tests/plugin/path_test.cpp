// Stored paths cut into the parts the list shows, and files found by the host's search, the
// project's folders, or their bare name.

#include <gtest/gtest.h>

#include <fstream>

#include "cadhost/app/host_registration.h"
#include "cadhost/app/registry_key.h"
#include "cadhost/sdk/adsdef.h"
#include "platform/prefix.h"
#include "plugin/model/path_parts.h"
#include "plugin/model/path_resolution.h"
#include "plugin/model/xref_row.h"
#include "plugin_test_support.h"

namespace {

using lnkhold::XrefRow;

XrefRow rowFor(const std::string& path) {
    XrefRow row;
    row.setPath(path, true);
    return row;
}

void touch(const std::filesystem::path& file) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << "a drawing\n";
}

TEST(Paths, StoredPathsGiveFolderNameDriveAndFullPath) {
    const XrefRow absolute = rowFor("C:\\xrefs\\base.dwg");
    EXPECT_EQ(absolute.folder, "C:\\xrefs\\");
    EXPECT_EQ(absolute.name, "base");
    EXPECT_EQ(absolute.drive, "C:");
    EXPECT_EQ(absolute.fullPath(), "C:\\xrefs\\base.dwg");

    const XrefRow bare = rowFor("base.dwg");
    EXPECT_EQ(bare.folder, "<<acad path>>");
    EXPECT_EQ(bare.drive, "");
    EXPECT_EQ(bare.fullPath(), "base.dwg");

    const XrefRow relative = rowFor("..\\xrefs\\base.dxf");
    EXPECT_EQ(relative.folder, "..\\xrefs\\");
    EXPECT_EQ(relative.fullPath(), "base.dwg");

    const XrefRow network = rowFor("\\\\srv\\share\\a\\b.dwg");
    EXPECT_EQ(network.drive, "\\\\srv\\share");
    EXPECT_EQ(network.folder, "\\\\srv\\share\\a\\");
    EXPECT_EQ(network.fullPath(), "\\\\srv\\share\\a\\b.dwg");

    const lnkhold::PathParts shareOnly = lnkhold::splitPathParts("\\\\srv\\share");
    EXPECT_EQ(shareOnly.drive, "\\\\srv\\share");
    EXPECT_EQ(shareOnly.directory + shareOnly.fileName + shareOnly.extension, "");
}

TEST(Paths, OnlyATrailingDwgIsTakenOffTheName) {
    XrefRow row;
    row.name = "plan.DWG";
    EXPECT_EQ(row.nameWithoutDwg(), "plan");
    row.name = "plan.dxf";
    EXPECT_EQ(row.nameWithoutDwg(), "plan.dxf");
    row.name = "plan";
    EXPECT_EQ(row.nameWithoutDwg(), "plan");
}

class Resolve : public plugintest::HostFixture {};

TEST_F(Resolve, ProjectFoldersAreSearchedInOrderAfterTheHostsOwnSearch) {
    open("host.dxf");
    touch(folder() / "one" / "both.dxf");
    touch(folder() / "two" / "both.dxf");
    touch(folder() / "two" / "only2.dxf");
    setProject("P1", ";" + hostPath("one") + "\\;;" + hostPath("two"));
    lnkhold::loadProjectSearchPath();
    EXPECT_EQ(lnkhold::projectSearchPath(), ";" + hostPath("one") + "\\;;" + hostPath("two"));

    EXPECT_EQ(lnkhold::resolvePath("Q:\\elsewhere\\only2.dwg"), hostPath("two\\only2.dxf"));
    EXPECT_EQ(lnkhold::resolvePath("Q:\\elsewhere\\both.dwg"), hostPath("one\\both.dxf"));
    // The host's own search comes first: abs.dxf is where the path says.
    EXPECT_EQ(lnkhold::resolvePath(hostPath("abs\\abs.dwg")), hostPath("abs\\abs.dxf"));
    // Then the bare name on the host's search path.
    EXPECT_EQ(lnkhold::resolvePath("Q:\\elsewhere\\lib.dwg"), hostPath("support\\lib.dxf"));
    EXPECT_EQ(lnkhold::resolvePath("Q:\\elsewhere\\nothing.dwg"), "");

    std::string found;
    EXPECT_EQ(lnkhold::searchProjectPath("only2.dwg", found), RTNORM);
    EXPECT_EQ(found, hostPath("two\\only2.dxf"));
    EXPECT_EQ(lnkhold::searchProjectPath("lib.dwg", found), RTNORM);  // the host finds it anyway
    EXPECT_EQ(lnkhold::resolvePathInto("nothing.dwg", found), 0);
    EXPECT_EQ(found, "");
}

TEST_F(Resolve, WithoutAProjectNothingIsReadAndTheProjectTrialIsSkipped) {
    open("host.dxf");
    lnkhold::setProjectSearchPath("stale");
    lnkhold::loadProjectSearchPath();
    EXPECT_EQ(lnkhold::projectSearchPath(), "");
    std::string found;
    EXPECT_EQ(lnkhold::searchProjectPath("abs.dwg", found), RTERROR);

    setProject("NoSuchSettings", "");
    lnkhold::loadProjectSearchPath();
    EXPECT_EQ(lnkhold::projectSearchPath(), "");
}

TEST_F(Resolve, TheProjectSettingsAreTheCurrentProfilesAndAnUnknownProfileHasNone) {
    open("host.dxf");
    setProject("P1", "C:\\first");
    lnkhold::loadProjectSearchPath();
    EXPECT_EQ(lnkhold::projectSearchPath(), "C:\\first");

    auto makeCurrent = [](const char* profile) {
        const cadhost::app::RegistryKey profiles(platform::HKEY_CURRENT_USER,
                                                 cadhost::app::profilesKey(), true);
        ASSERT_EQ(profiles.writeString("", profile), platform::ERROR_SUCCESS);
    };
    makeCurrent("Second");
    setProject("P1", "C:\\second");  // under the profile now current
    lnkhold::loadProjectSearchPath();
    EXPECT_EQ(lnkhold::projectSearchPath(), "C:\\second");

    makeCurrent("Unregistered");
    lnkhold::loadProjectSearchPath();
    EXPECT_EQ(lnkhold::projectSearchPath(), "");
}

TEST_F(Resolve, ANetworkShareIsFoundThroughItsMappedFolder) {
    open("host.dxf");
    touch(platform::currentPrefix().dosdevices() / "unc" / "srv" / "share" / "a" / "b.dxf");
    XrefRow row = rowFor("\\\\srv\\share\\a\\b.dwg");
    EXPECT_EQ(lnkhold::resolvePath(row.fullPath()), "\\\\srv\\share\\a\\b.dxf");
}

TEST_F(Resolve, APathTooLongForTheBufferIsNotFoundNorCutShort) {
    open("host.dxf");
    std::filesystem::path deep = folder();
    std::string hostDeep = hostPath("");
    while (hostDeep.size() < 300) {
        deep /= std::string(40, 'd');
        hostDeep += std::string(40, 'd') + "\\";
    }
    touch(deep / "lib.dxf");
    const std::string longPath = hostDeep + "lib.dwg";
    ASSERT_GT(longPath.size(), 260u);

    XrefRow row = rowFor(longPath);
    EXPECT_EQ(row.folder, hostDeep);
    EXPECT_EQ(row.fullPath(), longPath);
    // Neither the file at the long path nor the lib.dxf of the support folder stands in.
    EXPECT_EQ(lnkhold::resolvePath(longPath), "");
    row.readFileFacts();
    EXPECT_EQ(row.fileSize, 0u);
}

}  // namespace
