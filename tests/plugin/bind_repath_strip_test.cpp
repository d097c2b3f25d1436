// Insert (bind), RePath and Strip Path of the selected rows: bound rows leave the list in
// order and refused ones stay, repath to a chosen folder with and without "Acad Path" and the
// reload that follows even a cancelled file dialog, and stored paths cut to their file names.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cadhost/xref_test_support.h"
#include "plugin/ops/control_ids.h"
#include "xref_commands_fixture.h"

namespace {

using namespace lnkhold;
using plugintest::XrefCommands;
using testing::HasSubstr;
using testing::Not;

class PathCommands : public XrefCommands {
  protected:
    std::string storedPath(const std::string& rowName) const {
        AcDbBlockTableRecord* record = nullptr;
        if (acdbOpenObject(record, row(rowName).blockId, AcDb::kForRead) != Acad::eOk) {
            return "(cannot open)";
        }
        const char* path = nullptr;
        record->pathName(path);
        std::string result = path ? path : "";
        record->close();
        return result;
    }
    void setStoredPath(const std::string& rowName, const char* path) {
        AcDbBlockTableRecord* record = nullptr;
        ASSERT_EQ(acdbOpenObject(record, row(rowName).blockId, AcDb::kForWrite), Acad::eOk);
        record->setPathName(path);
        record->close();
    }
    bool isXref(const char* block) const {
        AcDbBlockTable* blocks = nullptr;
        drawing()->getBlockTable(blocks, AcDb::kForRead);
        AcDbBlockTableRecord* record = nullptr;
        const bool found = blocks->getAt(block, record, AcDb::kForRead) == Acad::eOk;
        blocks->close();
        const bool xref = found && record->isFromExternalReference();
        if (found) {
            record->close();
        }
        return xref;
    }
};

TEST_F(PathCommands, BindRemovesTheBoundRowsAndKeepsTheOthersInOrder) {
    std::vector<std::string> expected = names();
    expected.erase(std::find(expected.begin(), expected.end(), "abs"));
    expected.erase(std::find(expected.begin(), expected.end(), "lib"));
    select({"abs", "lib"});
    dialog.bindSelected();
    EXPECT_EQ(names(), expected);
    EXPECT_EQ(view.itemCount, static_cast<int>(expected.size()));
    EXPECT_TRUE(hasBlock("ABS"));
    EXPECT_FALSE(isXref("ABS"));
    EXPECT_FALSE(isXref("LIB"));
    EXPECT_TRUE(isXref("TREES"));
    EXPECT_TRUE(view.windowEnabled);
    EXPECT_FALSE(view.waitCursor);

    const auto saved = folder() / "bound.dxf";
    ASSERT_EQ(drawing()->saveAs(saved.c_str()), Acad::eOk);
    const std::string summary = xreftest::ezdxfSummary(saved);
    EXPECT_THAT(summary, HasSubstr(R"("audit_errors": [])"));
    EXPECT_THAT(summary, Not(HasSubstr(R"("ABS": ")")));
    EXPECT_THAT(summary, HasSubstr(R"("TREES": "trees.dxf")"));
}

TEST_F(PathCommands, BindLeavesRefusedAndPendingRowsAlone) {
    addPending({"pending/extra.dxf"});
    const std::vector<std::string> before = names();
    const bool modified = drawing()->isModifiedSinceSave();
    view.itemCount = -1;
    select({"floor", "extra"});  // a nested xref the host refuses to bind, and a file
    dialog.bindSelected();
    EXPECT_EQ(names(), before);
    EXPECT_EQ(view.itemCount, -1);  // nothing bound: the count is not set again
    EXPECT_EQ(drawing()->isModifiedSinceSave(), modified);
}

TEST_F(PathCommands, BindReachesAnXrefWhoseBlockIsNamedOtherwise) {
    renameXrefOf("abs", "SURVEY");
    select({"abs"});
    dialog.bindSelected();
    EXPECT_EQ(positionOf("abs"), -1);
    EXPECT_TRUE(hasBlock("SURVEY"));
    EXPECT_FALSE(isXref("SURVEY"));
    EXPECT_TRUE(isXref("TREES"));
}

TEST_F(PathCommands, RepathPointsTheRowsAtTheChosenFolderAndReloadsThem) {
    copyDrawing("trees.dxf", "new/missing.dxf");
    view.setChecked(DialogOption::AcadPath, false);
    view.chosenFiles = {hostPath("new\\x.dwg")};
    select({"missing"});
    dialog.repathSelected();

    ASSERT_EQ(view.fileRequests.size(), 1u);
    const platform::FileDialogRequest& request = view.fileRequests.front();
    EXPECT_FALSE(request.save);
    EXPECT_EQ(request.initialName, "*.dwg;*.dxf");
    EXPECT_EQ(request.defaultExtension, "dwg");
    EXPECT_EQ(request.filter, "");
    EXPECT_EQ(request.flags, platform::OFN_HIDEREADONLY | platform::OFN_NOVALIDATE);

    const XrefRow& missing = row("missing");
    EXPECT_EQ(missing.folder, hostPath("new\\"));
    EXPECT_EQ(missing.foundPath, hostPath("new\\missing.dxf"));
    EXPECT_EQ(storedPath("missing"), hostPath("new\\missing.dwg"));
    EXPECT_EQ(missing.statusText, "Repathed");  // still "not found" until the list is rebuilt
    EXPECT_EQ(xreftest::statusOf(*drawing(), "GONE"), AcDb::kXrfResolved);  // reloaded
    EXPECT_EQ(view.redraws, 1);
    EXPECT_EQ(view.statusText, hostPath("new\\missing.dxf"));
}

TEST_F(PathCommands, RepathWithAcadPathTriesTheBareNameFirst) {
    copyDrawing("trees.dxf", "support/missing.dxf");  // found by name on the search path
    copyDrawing("trees.dxf", "new/missing.dxf");
    addPending({"elsewhere/zeta.dxf"});
    copyDrawing("trees.dxf", "new/zeta.dxf");  // not found by name: the chosen folder
    view.setChecked(DialogOption::AcadPath, true);
    view.chosenFiles = {hostPath("new\\x.dwg")};
    select({"missing", "zeta"});
    dialog.repathSelected();
    EXPECT_EQ(storedPath("missing"), "missing.dwg");
    EXPECT_EQ(row("missing").folder, kAcadPathFolder);
    EXPECT_EQ(row("zeta").folder, hostPath("new\\"));
    EXPECT_EQ(row("zeta").fullPath(), hostPath("new\\zeta.dwg"));
}

TEST_F(PathCommands, RepathAsksNothingWithoutSelectionAndReloadsAfterCancel) {
    view.selected.clear();
    view.statusText = "(untouched)";
    dialog.repathSelected();
    EXPECT_TRUE(view.fileRequests.empty());
    EXPECT_EQ(view.statusText, "");

    select({"abs"});
    dialog.unloadSelected();
    ASSERT_EQ(xreftest::statusOf(*drawing(), "ABS"), AcDb::kXrfUnloaded);
    const std::string before = storedPath("abs");
    select({"abs"});
    view.chosenFiles.clear();  // Cancel
    dialog.repathSelected();
    EXPECT_EQ(view.fileRequests.size(), 1u);
    EXPECT_EQ(storedPath("abs"), before);
    EXPECT_EQ(xreftest::statusOf(*drawing(), "ABS"), AcDb::kXrfResolved);
}

TEST_F(PathCommands, StripPathKeepsOnlyTheFileNameAfterTheLastBackslash) {
    setStoredPath("abs", "C:\\a\\b\\abs.dwg");
    setStoredPath("lib", "C:/a/b/lib.dwg");  // forward slashes: left as it is
    select({"abs", "lib", "trees"});         // trees.dxf: a bare name already
    dialog.stripPathSelected();
    EXPECT_EQ(storedPath("abs"), "abs.dwg");
    EXPECT_EQ(storedPath("lib"), "C:/a/b/lib.dwg");
    EXPECT_EQ(storedPath("trees"), "trees.dxf");
    EXPECT_EQ(row("abs").folder, kAcadPathFolder);
    EXPECT_TRUE(view.windowEnabled);
    EXPECT_FALSE(view.waitCursor);

    AcDbObjectIdArray odd;
    odd.append(AcDbObjectId());
    odd.append(drawing()->clayer());  // a layer, not a block
    odd.append(row("abs").blockId);
    DialogOperations::stripPaths(odd);  // the null id and the layer are passed over
    EXPECT_EQ(storedPath("abs"), "abs.dwg");
}

TEST_F(PathCommands, StripPathOfPendingRowsAloneChangesNothing) {
    addPending({"pending/extra.dxf"});
    view.itemCount = -1;
    select({"extra"});
    dialog.stripPathSelected();
    EXPECT_EQ(view.itemCount, -1);  // the list was not rebuilt
    EXPECT_EQ(row("extra").folder, hostPath("pending\\"));
}

}  // namespace
