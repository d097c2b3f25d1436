// File size and time of a row's file, the 30-second "Current" tolerance against the loaded
// xref's last update, and the texts of the "Size" and "Date modified" columns.

#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "cadhost/dxf_test_support.h"
#include "cadhost/sdk/dbsymtb.h"
#include "plugin/model/local_time.h"
#include "plugin/ops/dialog_operations.h"
#include "plugin_test_support.h"

namespace {

using lnkhold::XrefRow;

// Gives a fixture drawing a last-update time of its own.
void setLastUpdate(const std::filesystem::path& file, int year, int month, int day, int hour,
                   int minute, int second) {
    AcDbDate date;
    date.setDate(month, day, year);
    date.setTime(hour, minute, second, 0);
    const std::string text = dxftest::readBytes(file);
    const std::regex tdupdate(R"((\$TDUPDATE\r?\n *40\r?\n)[^\r\n]*)");
    ASSERT_TRUE(std::regex_search(text, tdupdate)) << file;
    char julian[64];
    std::snprintf(julian, sizeof julian, "%.10f", date.julian());
    dxftest::writeBytes(file, std::regex_replace(text, tdupdate, std::string("$01") + julian));
}

class FileFacts : public plugintest::HostFixture {
  protected:
    void SetUp() override {
        HostFixture::SetUp();
        setLastUpdate(folder() / "abs" / "abs.dxf", 2004, 3, 7, 14, 5, 9);
        setLastUpdate(folder() / "trees.dxf", 2004, 3, 7, 12, 30, 0);
        setLastUpdate(folder() / "support" / "lib.dxf", 2004, 3, 7, 0, 10, 0);
        open("host.dxf");
        dialog.fullRefresh();
    }
    XrefRow& row(const std::string& name) { return *dialog.rows().findByName(name); }

    plugintest::RecordingView view;
    lnkhold::DialogOperations dialog{view};
};

TEST_F(FileFacts, TheDateIsTheLoadedXrefsLastUpdateOnATwelveHourClock) {
    EXPECT_EQ(row("abs").dateText(), "3/7/2004 2:5:9 PM");
    EXPECT_EQ(row("trees").dateText(), "3/7/2004 12:30:0 PM");
    EXPECT_EQ(row("lib").dateText(), "3/7/2004 12:10:0 AM");
    // Not loaded: no date, and nothing to differ from.
    EXPECT_EQ(row("missing").dateText(), "");
    EXPECT_EQ(row("missing").timestampDiffers, 0);
    EXPECT_EQ(row("notdxf").dateText(), "");
}

TEST_F(FileFacts, AFileUpToThirtySecondsOlderThanTheLoadedXrefIsCurrent) {
    const std::int64_t updated = lnkhold::localSeconds(2004, 3, 7, 14, 5, 9);
    XrefRow& abs = row("abs");
    const std::filesystem::path file = folder() / "abs" / "abs.dxf";

    plugintest::setFileTime(file, updated - 30);
    abs.refreshFromBlockId(abs.blockId);
    EXPECT_EQ(abs.fileTime, updated - 30);
    EXPECT_EQ(abs.fileSize, std::filesystem::file_size(file));
    EXPECT_EQ(abs.timestampDiffers, 0);

    plugintest::setFileTime(file, updated - 31);
    abs.refreshFromBlockId(abs.blockId);
    EXPECT_EQ(abs.timestampDiffers, 1);

    plugintest::setFileTime(file, updated + 3600);  // saved again after it was loaded
    abs.refreshFromBlockId(abs.blockId);
    EXPECT_EQ(abs.timestampDiffers, 0);
}

TEST_F(FileFacts, AnXrefStoredWithARelativePathShowsTheFactsOfTheFileItWasFoundAt) {
    // "sub\plan.dwg": the row's full path keeps only "plan.dwg", which is not beside the
    // drawing; the facts are those of sub/plan.dxf, where the stored path led.
    XrefRow& plan = row("plan");
    const std::filesystem::path file = folder() / "sub" / "plan.dxf";
    ASSERT_EQ(plan.fullPath(), "plan.dwg");
    EXPECT_EQ(plan.foundPath, hostPath("sub\\plan.dxf"));
    EXPECT_EQ(plan.fileSize, std::filesystem::file_size(file));
    plugintest::setFileTime(file, lnkhold::localSeconds(2030, 1, 1, 0, 0, 0));
    plan.refreshFromBlockId(plan.blockId);
    EXPECT_EQ(plan.fileTime, lnkhold::localSeconds(2030, 1, 1, 0, 0, 0));
    EXPECT_EQ(plan.timestampDiffers, 0);  // its file is newer than the loaded xref: current
}

TEST_F(FileFacts, ANestedXrefStoredRelativeToItsParentShowsTheFileTheHostLoaded) {
    // FLOOR stores "floor.dxf", found beside sub/plan.dxf that inserts it, not beside the
    // drawing: the row takes the file the host loaded, and reads current.
    const XrefRow& floor = row("floor");
    ASSERT_EQ(floor.statusText, "Nested");
    EXPECT_EQ(floor.foundPath, hostPath("sub\\floor.dxf"));
    EXPECT_EQ(floor.fileSize, std::filesystem::file_size(folder() / "sub" / "floor.dxf"));
    EXPECT_EQ(floor.timestampDiffers, 0);
    // Not loaded at all: still not found.
    EXPECT_EQ(row("missing").foundPath, "");
    EXPECT_EQ(row("missing").statusText, "File not found");
}

TEST_F(FileFacts, SizesReadInWholeKilobytes) {
    auto sizeTextOf = [&](const std::string& name, std::size_t bytes) {
        std::ofstream(folder() / (name + ".dxf")) << std::string(bytes, 'x');
        XrefRow pending;
        pending.buildFromFile(hostPath(name + ".dwg"));
        pending.readFileFacts();
        EXPECT_EQ(pending.fileSize, bytes);
        return pending.sizeText();
    };
    EXPECT_EQ(sizeTextOf("empty", 0), "0 KB");
    EXPECT_EQ(sizeTextOf("small", 1023), "0 KB");
    EXPECT_EQ(sizeTextOf("two", 2048), "2 KB");
    EXPECT_EQ(sizeTextOf("large", 1048575), "1023 KB");
}

}  // namespace
