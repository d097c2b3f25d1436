// Pointing a row at a new location: the preferred path, the fallback, neither; the xref
// block's stored path follows the row.

#include <gtest/gtest.h>

#include <fstream>

#include "cadhost/sdk/dbsymtb.h"
#include "plugin/ops/dialog_operations.h"
#include "plugin_test_support.h"

namespace {

using lnkhold::XrefRow;

class Repath : public plugintest::HostFixture {
  protected:
    void SetUp() override {
        HostFixture::SetUp();
        open("host.dxf");
        dialog.fullRefresh();
    }
    XrefRow& row(const std::string& name) { return *dialog.rows().findByName(name); }
    static std::string storedPath(const XrefRow& xref) {
        AcDbBlockTableRecord* record = nullptr;
        EXPECT_EQ(acdbOpenObject(record, xref.blockId, AcDb::kForRead), Acad::eOk);
        const char* path = nullptr;
        record->pathName(path);
        std::string text = path;
        record->close();
        return text;
    }
    void place(const std::string& relative) {
        std::filesystem::create_directories((folder() / relative).parent_path());
        std::ofstream(folder() / relative) << "a drawing\n";
    }

    plugintest::RecordingView view;
    lnkhold::DialogOperations dialog{view};
};

TEST_F(Repath, APreferredFolderThatHoldsTheFileIsStoredInTheBlock) {
    place("moved/abs.dxf");
    XrefRow& abs = row("abs");
    abs.repathRow(hostPath("moved\\"), hostPath("abs\\"));
    EXPECT_EQ(abs.folder, hostPath("moved\\"));
    EXPECT_EQ(abs.foundPath, hostPath("moved\\abs.dxf"));
    EXPECT_EQ(abs.name, "abs");
    EXPECT_EQ(storedPath(abs), hostPath("moved\\abs.dwg"));
}

TEST_F(Repath, AnEmptyPreferredPathStoresTheBareNameWhenTheHostFindsIt) {
    XrefRow& trees = row("trees");
    trees.repathRow("", hostPath("elsewhere\\"));
    EXPECT_EQ(trees.folder, "<<acad path>>");
    EXPECT_EQ(storedPath(trees), "trees.dwg");
}

TEST_F(Repath, TheFallbackIsUsedWhenTheBareNameIsNotFound) {
    XrefRow& abs = row("abs");
    abs.repathRow("", hostPath("abs\\"));
    EXPECT_EQ(abs.folder, hostPath("abs\\"));
    EXPECT_EQ(storedPath(abs), hostPath("abs\\abs.dwg"));
}

TEST_F(Repath, FoundByNeitherTheRowKeepsItsPathParts) {
    XrefRow& abs = row("abs");
    const std::string foundBefore = abs.foundPath;
    abs.repathRow("Q:\\nowhere\\", "Q:\\neither\\");
    EXPECT_EQ(abs.folder, hostPath("abs\\"));
    EXPECT_EQ(abs.drive, "Z:");
    EXPECT_EQ(abs.foundPath, foundBefore);
    // The block takes the row's own form of the path (".dwg" for the stored ".dxf").
    EXPECT_EQ(storedPath(abs), hostPath("abs\\abs.dwg"));
}

TEST_F(Repath, AFallbackDrawingPathIsUsedAsItIsAndAPendingRowChangesOnlyInTheList) {
    place("fruit/apple.dxf");
    XrefRow pending;
    pending.buildFromFile("Q:\\old\\apple.dwg");
    pending.repathRow("Q:\\new\\", hostPath("fruit\\APPLE.DWG"));
    EXPECT_EQ(pending.folder, hostPath("fruit\\"));
    EXPECT_EQ(pending.name, "apple");
    EXPECT_EQ(pending.foundPath, hostPath("fruit\\apple.dxf"));
    EXPECT_TRUE(pending.blockId.isNull());
}

}  // namespace
