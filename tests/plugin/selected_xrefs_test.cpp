// Detach, Unload and Reload from the dialog's selection: which rows reach the host, the list
// rebuilt from the drawing, detached xrefs back as pending rows, the xref reached when its
// block name differs from its file name, and rows added in this session kept across the
// rebuild.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "xref_commands_fixture.h"

namespace {

using namespace lnkhold;

using plugintest::XrefCommands;

TEST_F(XrefCommands, ADetachedXrefComesBackAsAPendingRowAndIsRemembered) {
    select({"abs"});
    dialog.detachSelected();
    EXPECT_FALSE(hasBlock("ABS"));
    const XrefRow& abs = row("abs");
    EXPECT_EQ(abs.statusText, "Detached");
    EXPECT_TRUE(abs.blockId.isNull());
    EXPECT_EQ(abs.addedFromFile, 0);
    EXPECT_TRUE(view.windowEnabled);
    EXPECT_FALSE(view.waitCursor);
    // Nested and unreferenced rows are not remembered, but the drawing still shows them.
    EXPECT_NE(dialog.rows().findByName("floor"), nullptr);
    EXPECT_EQ(view.itemCount, dialog.rows().count());
}

TEST_F(XrefCommands, DetachTakesRowsByStatusAndTheTextOfStatusThree) {
    // Unloaded (2), not found (4), unresolved (5) and unreferenced are detached.
    select({"trees"});
    dialog.unloadSelected();
    ASSERT_EQ(row("trees").statusText, "Unloaded");
    select({"trees", "missing", "notdxf", "loose"});
    dialog.detachSelected();
    for (const char* block : {"TREES", "MISSING", "NOTDXF", "LOOSE"}) {
        EXPECT_FALSE(hasBlock(block)) << block;
    }
    EXPECT_TRUE(hasBlock("ABS"));
}

TEST_F(XrefCommands, PendingRowsAloneNeverReachTheHost) {
    std::ofstream(folder() / "extra.dxf") << "0\nEOF\n";
    dialog.addFiles({hostPath("extra.dxf")});
    const bool modified = drawing()->isModifiedSinceSave();
    select({"extra"});
    dialog.unloadSelected();
    dialog.reloadSelected();
    EXPECT_EQ(drawing()->isModifiedSinceSave(), modified);
    const int before = dialog.rows().count();
    dialog.detachSelected();  // only the nested and unreferenced rows leave the list
    EXPECT_EQ(drawing()->isModifiedSinceSave(), modified);
    EXPECT_EQ(dialog.rows().findByName("floor"), nullptr);
    EXPECT_EQ(dialog.rows().findByName("loose"), nullptr);
    EXPECT_LT(dialog.rows().count(), before);
}

TEST_F(XrefCommands, UnloadThenReloadBringsTheXrefsBack) {
    select({"abs", "trees"});
    dialog.unloadSelected();
    EXPECT_EQ(row("abs").statusText, "Unloaded");
    EXPECT_EQ(row("trees").statusText, "Unloaded");
    select({"abs", "trees"});
    dialog.reloadAndRefresh();
    EXPECT_EQ(row("abs").statusText, "Attached");
    EXPECT_EQ(row("trees").statusText, "Overlay");
    EXPECT_FALSE(view.waitCursor);
}

TEST_F(XrefCommands, TheSelectedXrefIsReachedWhenItsBlockIsNamedOtherwise) {
    // ABS renamed in the drawing: its row is still called after its file, "abs".
    renameXrefOf("abs", "SURVEY");
    ASSERT_EQ(row("abs").statusCode, AcDb::kXrfResolved);

    select({"abs"});
    dialog.unloadSelected();
    EXPECT_EQ(row("abs").statusCode, AcDb::kXrfUnloaded);
    select({"abs"});
    dialog.detachSelected();
    EXPECT_FALSE(hasBlock("SURVEY"));
}

TEST_F(XrefCommands, RowsAddedInThisSessionSurviveTheRebuild) {
    std::ofstream(folder() / "extra.dxf") << "0\nEOF\n";
    dialog.addFiles({hostPath("extra.dxf")});
    dialog.addRowsFromSetText("C:\\p\\listed.dwg\r\n");
    select({"abs"});
    dialog.unloadSelected();
    for (const char* name : {"extra", "listed"}) {
        ASSERT_NE(dialog.rows().findByName(name), nullptr) << name;
        EXPECT_EQ(row(name).addedFromFile, 1) << name;  // still blue
    }
    select({"trees"});
    dialog.reloadAndRefresh();
    EXPECT_NE(dialog.rows().findByName("extra"), nullptr);
}

}  // namespace
