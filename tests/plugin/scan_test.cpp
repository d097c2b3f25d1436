// Rows built from a real drawing's xrefs: status texts, nested and unreferenced xrefs,
// found paths, pending rows, and the status line of a selection.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "plugin/model/local_time.h"
#include "plugin/ops/dialog_operations.h"
#include "plugin_test_support.h"

namespace {

using lnkhold::DialogOperations;
using lnkhold::XrefRow;
using plugintest::RecordingView;
using testing::ElementsAre;

class Scan : public plugintest::HostFixture {
  protected:
    const XrefRow& row(const std::string& name) {
        const XrefRow* found = dialog.rows().findByName(name);
        if (!found) {
            throw std::runtime_error("no row " + name);
        }
        return *found;
    }
    int positionOf(const std::string& name) {
        for (int i = 0; i < dialog.rows().count(); ++i) {
            if (dialog.rowAt(i)->name == name) {
                return i;
            }
        }
        return -1;
    }

    RecordingView view;
    DialogOperations dialog{view};
};

TEST_F(Scan, EveryXrefBlockGivesARowWithTheTextOfItsStatus) {
    open("host.dxf");
    dialog.fullRefresh();
    std::vector<std::string> names;
    for (int i = 0; i < dialog.rows().count(); ++i) {
        names.push_back(dialog.rowAt(i)->name);
    }
    EXPECT_THAT(names, ElementsAre("abs", "binary", "cycle1", "cycle2", "floor", "lib", "loose",
                                   "missing", "notdxf", "plan", "room", "trees"));
    EXPECT_EQ(view.itemCount, 12);

    EXPECT_EQ(row("abs").statusText, "Attached");
    EXPECT_EQ(row("abs").folder, hostPath("abs\\"));
    EXPECT_EQ(row("abs").foundPath, hostPath("abs\\abs.dxf"));
    EXPECT_EQ(row("trees").statusText, "Overlay");
    EXPECT_EQ(row("trees").isOverlay, 1);
    EXPECT_EQ(row("lib").folder, "<<acad path>>");
    EXPECT_EQ(row("lib").foundPath, hostPath("support\\lib.dxf"));
    EXPECT_EQ(row("missing").statusText, "File not found");
    EXPECT_EQ(row("notdxf").statusText, "Unresolved");
    EXPECT_EQ(row("plan").folder, "sub\\");
    EXPECT_EQ(row("plan").fullPath(), "plan.dwg");

    // Only another xref inserts floor and room; nothing inserts loose.
    for (const char* nested : {"floor", "room", "cycle2"}) {
        EXPECT_EQ(row(nested).statusText, "Nested") << nested;
        EXPECT_EQ(row(nested).nestedOrUnreferenced, 1) << nested;
        EXPECT_EQ(row(nested).statusCode, AcDb::kXrfResolved) << nested;
    }
    EXPECT_EQ(row("loose").statusText, "Unreferenced");
    EXPECT_EQ(row("loose").nestedOrUnreferenced, 1);
    EXPECT_EQ(row("abs").nestedOrUnreferenced, 0);
    EXPECT_FALSE(row("abs").blockId.isNull());
}

TEST_F(Scan, AFileTheHostHasNotReloadedNeedsReloadingAndReadsRepathedOnceRepathed) {
    open("host.dxf");
    std::ofstream(folder() / "missing.dxf") << "appeared after the drawing was opened\n";
    dialog.fullRefresh();
    XrefRow& missing = *dialog.rows().findByName("missing");
    EXPECT_EQ(missing.statusCode, AcDb::kXrfFileNotFound);
    EXPECT_EQ(missing.statusText, "Needs Reloading");
    missing.markRepathed();
    EXPECT_EQ(missing.statusText, "Repathed");
    EXPECT_EQ(missing.statusCode, AcDb::kXrfFileNotFound);
}

TEST_F(Scan, PendingRowsReadDetachedAndSurviveARescanAndAFullRefresh) {
    open("host.dxf");
    dialog.fullRefresh();
    auto pending = std::make_unique<XrefRow>();
    pending->buildFromFile("D:\\q\\apple.dwg");
    dialog.rows().append(std::move(pending));
    const XrefRow& apple = row("apple");
    EXPECT_EQ(apple.statusText, "Detached");
    EXPECT_EQ(apple.statusCode, AcDb::kXrfUnreferenced);
    EXPECT_EQ(apple.foundPath, "xref not defined");
    EXPECT_EQ(apple.dateText(), "");
    EXPECT_EQ(apple.sizeText(), "0 KB");
    EXPECT_TRUE(apple.blockId.isNull());

    dialog.rescanAfterAttach();
    EXPECT_EQ(view.itemCount, 13);
    EXPECT_EQ(dialog.rowAt(0)->name, "abs");
    EXPECT_EQ(dialog.rowAt(1)->name, "apple");
    EXPECT_EQ(dialog.rows().findByName("Apple"), nullptr);  // names match with their case

    // Not in the marker until OK, yet still in the list after the drawing rows are rebuilt.
    dialog.fullRefresh();
    EXPECT_NE(dialog.rows().findByName("apple"), nullptr);
    EXPECT_EQ(view.itemCount, 13);
}

TEST_F(Scan, TheStatusLineShowsTheFoundPathAWarningOrTheContainingXref) {
    open("host.dxf");
    dialog.fullRefresh();
    EXPECT_EQ(dialog.selectionText(), "");
    view.selected = {positionOf("abs")};
    EXPECT_EQ(dialog.selectionText(), hostPath("abs\\abs.dxf"));
    view.selected = {positionOf("abs"), positionOf("lib")};
    EXPECT_EQ(dialog.selectionText(), "...");

    // plan is stored as sub\plan.dwg: its row shows where that was found, and is current.
    view.selected = {positionOf("plan")};
    EXPECT_EQ(row("plan").timestampDiffers, 0);
    EXPECT_EQ(dialog.selectionText(), hostPath("sub\\plan.dxf"));
    // A file last written long before the loaded xref was updated.
    plugintest::setFileTime(folder() / "abs" / "abs.dxf",
                            lnkhold::localSeconds(2001, 1, 1, 0, 0, 0));
    XrefRow& abs = *dialog.rows().findByName("abs");
    abs.refreshFromBlockId(abs.blockId);
    view.selected = {positionOf("abs")};
    EXPECT_EQ(dialog.selectionText(),
              "Warning: xref timestamp appears different than file timestamp");

    view.selected = {positionOf("floor")};
    EXPECT_EQ(dialog.selectionText(), "floor owned by - plan.dwg");
    // Without a row for the containing xref the status line keeps its text.
    dialog.rows().removeAt(positionOf("plan"));
    view.selected = {positionOf("floor")};
    EXPECT_EQ(dialog.selectionText(), std::nullopt);
}

TEST_F(Scan, ADrawingWithoutXrefsGivesNoRows) {
    open("abs/abs.dxf");
    dialog.fullRefresh();
    EXPECT_EQ(dialog.rows().count(), 0);
    EXPECT_EQ(view.itemCount, 0);
}

}  // namespace
