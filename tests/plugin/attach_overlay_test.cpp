// Attach and Overlay of pending rows: the insertion layer chosen, made once and reused, the
// current layer and space put back, rows already in the drawing skipped, failed attaches left
// pending, Add's automatic attach, and the saved drawing as ezdxf reads it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cadhost/host_console.h"
#include "cadhost/sdk/aced.h"
#include "cadhost/xref_test_support.h"
#include "platform/collation.h"
#include "plugin/host/host_variables.h"
#include "xref_commands_fixture.h"

namespace {

using namespace lnkhold;
using plugintest::XrefCommands;
using testing::AllOf;
using testing::HasSubstr;
using testing::Not;

class AttachCommands : public XrefCommands {
  protected:
    AcDbObjectId layerId(const char* name) const {
        AcDbLayerTable* layers = nullptr;
        drawing()->getLayerTable(layers, AcDb::kForRead);
        AcDbObjectId id;
        layers->getAt(name, id);
        layers->close();
        return id;
    }
    std::string savedSummary(const char* name) {
        const auto file = folder() / name;
        EXPECT_EQ(drawing()->saveAs(file.c_str()), Acad::eOk);
        return xreftest::ezdxfSummary(file);
    }
    // A host path as the JSON of ezdxf_check.py writes it.
    std::string jsonPath(const std::string& relative) const {
        std::string text;
        for (const char c : hostPath(relative)) {
            text += c == '\\' ? std::string("\\\\") : std::string(1, c);
        }
        return text;
    }
    static short cvport() { return host::shortVariable("cvport").value_or(-1); }

    apptest::HostConsole console;  // the host's MSPACE and PSPACE
};

TEST_F(AttachCommands, AttachAndOverlayPutPendingRowsIntoTheDrawingOnTheirOwnLayers) {
    addPending({"pending/alpha.dxf", "pending/beta.dxf"});
    const AcDbObjectId before = drawing()->clayer();
    select({"alpha"});
    dialog.attachSelected();
    select({"beta"});
    dialog.overlaySelected();

    EXPECT_EQ(row("alpha").statusText, "Attached");
    EXPECT_EQ(row("beta").statusText, "Overlay");
    EXPECT_FALSE(row("alpha").blockId.isNull());
    EXPECT_EQ(row("alpha").addedFromFile, 0);  // now the drawing's own row
    EXPECT_FALSE(layerId("0_alpha").isNull());
    EXPECT_FALSE(layerId("0_beta").isNull());
    EXPECT_EQ(drawing()->clayer(), before);
    EXPECT_TRUE(view.windowEnabled);
    EXPECT_FALSE(view.waitCursor);
    EXPECT_EQ(view.itemCount, dialog.rows().count());
    std::vector<std::string> sorted = names();
    std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
        return platform::lstrcmpA(a.c_str(), b.c_str()) < 0;
    });
    EXPECT_EQ(names(), sorted);

    EXPECT_THAT(savedSummary("attached.dxf"),
                AllOf(HasSubstr(R"({"layer": "0_alpha", "name": "alpha", "type": "INSERT"})"),
                      HasSubstr(R"({"layer": "0_beta", "name": "beta", "type": "INSERT"})"),
                      HasSubstr(R"("alpha": ")" + jsonPath("pending\\alpha.dwg") + '"'),
                      HasSubstr(R"("clayer": "0")"), HasSubstr(R"("audit_errors": [])")));
}

TEST_F(AttachCommands, TheInsertionLayerFollowsTheChoice) {
    for (const int choice : {0, -1, 7}) {
        view.setInsertionLayer(choice);
        EXPECT_EQ(dialog.insertionLayerName("plan"), "0_plan") << choice;
    }
    view.setInsertionLayer(1);
    EXPECT_EQ(dialog.insertionLayerName("plan"), "0");
    EXPECT_EQ(dialog.useInsertionLayer("plan"), layerId("0"));
    EXPECT_EQ(drawing()->clayer(), layerId("0"));

    view.setInsertionLayer(2);  // the current layer: nothing looked up or made
    EXPECT_EQ(dialog.insertionLayerName("plan"), "");
    EXPECT_TRUE(dialog.useInsertionLayer("plan").isNull());
    EXPECT_TRUE(layerId("0_plan").isNull());

    view.setInsertionLayer(0);
    const AcDbObjectId made = dialog.useInsertionLayer("plan");
    ASSERT_FALSE(made.isNull());
    EXPECT_EQ(drawing()->clayer(), made);
    EXPECT_EQ(dialog.useInsertionLayer("plan"), made);  // reused, not made again
}

TEST_F(AttachCommands, AnotherFileOfTheSameNameReusesItsLayer) {
    addPending({"one/ground.dxf"});
    select({"ground"});
    dialog.attachSelected();
    const AcDbObjectId layer = layerId("0_ground");
    ASSERT_FALSE(layer.isNull());
    select({"ground"});
    dialog.detachSelected();
    select({"ground"});
    dialog.removeSelected();
    ASSERT_EQ(positionOf("ground"), -1);

    addPending({"two/ground.dxf"});
    select({"ground"});
    dialog.attachSelected();
    EXPECT_EQ(row("ground").statusText, "Attached");
    EXPECT_THAT(row("ground").foundPath, HasSubstr("\\two\\ground.dxf"));
    EXPECT_EQ(layerId("0_ground"), layer);
}

TEST_F(AttachCommands, RowsInTheDrawingAreSkippedAndFailedAttachesStayPending) {
    addPending({"pending/good.dxf"});
    copyDrawing("notdxf.dxf", "pending/broken.dxf");
    ASSERT_EQ(dialog.addFiles({hostPath("pending\\broken.dxf")}), 1);
    const XrefRow brokenBefore = row("broken");
    const std::string absPath = row("abs").foundPath;
    select({"abs", "floor", "broken", "good"});
    dialog.attachSelected();

    EXPECT_EQ(row("good").statusText, "Attached");
    const XrefRow& broken = row("broken");
    EXPECT_TRUE(broken.blockId.isNull());
    EXPECT_EQ(broken.statusText, brokenBefore.statusText);
    EXPECT_EQ(broken.addedFromFile, 1);  // still blue
    EXPECT_EQ(broken.fullPath(), brokenBefore.fullPath());
    EXPECT_EQ(row("abs").foundPath, absPath);
    EXPECT_EQ(row("floor").statusText, "Nested");
    EXPECT_FALSE(hasBlock("broken"));
}

TEST_F(AttachCommands, NothingSelectedStillPutsBackLayerAndRefreshesTheList) {
    view.setInsertionLayer(0);
    const AcDbObjectId before = drawing()->clayer();
    view.selected.clear();
    view.itemCount = -1;
    console.output();
    dialog.attachSelected();
    EXPECT_EQ(drawing()->clayer(), before);
    EXPECT_EQ(view.itemCount, dialog.rows().count());
    EXPECT_EQ(console.output(), "");  // no space command in the Model tab
}

TEST_F(AttachCommands, FromPaperSpaceTheXrefGoesIntoModelSpaceAndPaperSpaceComesBack) {
    open("layout.dxf");
    dialog.fullRefresh();
    ASSERT_EQ(cvport(), 1);
    EXPECT_EQ(DialogOperations::captureSpaceState(), (1u << 16) | 0u);
    addPending({"pending/gamma.dxf"});
    select({"gamma"});
    dialog.attachSelected();
    EXPECT_EQ(row("gamma").statusText, "Attached");
    EXPECT_EQ(cvport(), 1);
    const std::string summary = savedSummary("layout_attached.dxf");
    // The keys come sorted: ... "modelspace", "paperspace", "xrefs".
    const std::size_t model = summary.find(R"("modelspace")");
    const std::size_t paper = summary.find(R"("paperspace")");
    const std::size_t xrefs = summary.find(R"("xrefs")");
    ASSERT_TRUE(model < paper && paper < xrefs) << summary;
    EXPECT_THAT(summary.substr(model, paper - model),
                HasSubstr(R"("name": "gamma", "type": "INSERT")"));
    EXPECT_THAT(summary.substr(paper, xrefs - paper), Not(HasSubstr("gamma")));
}

TEST_F(AttachCommands, InsideALayoutViewportOrTheModelTabTheSpaceIsLeftAlone) {
    open("layout.dxf");
    dialog.fullRefresh();
    ASSERT_EQ(acedCommand(RTSTR, "mspace", RTNONE), RTNORM);
    ASSERT_EQ(cvport(), 2);
    EXPECT_EQ(DialogOperations::captureSpaceState(), (2u << 16) | 0u);
    console.output();
    addPending({"pending/delta.dxf"});
    select({"delta"});
    dialog.attachSelected();
    EXPECT_EQ(row("delta").statusText, "Attached");
    EXPECT_EQ(cvport(), 2);
    EXPECT_EQ(console.output(), "");

    open("host.dxf");
    EXPECT_EQ(DialogOperations::captureSpaceState(), (2u << 16) | 1u);
    DialogOperations::restoreSpace((2u << 16) | 1u);
    DialogOperations::enterModelSpace();
    EXPECT_EQ(console.output(), "");
}

TEST_F(AttachCommands, AddAttachesEachNewFileAtOnceWhenAutomaticallyAttachIsTicked) {
    view.setChecked(DialogOption::AutomaticallyAttach, true);
    view.setInsertionLayer(1);
    addPending({"auto/epsilon.dxf"});
    const XrefRow& epsilon = row("epsilon");
    EXPECT_EQ(epsilon.statusText, "Attached");
    EXPECT_FALSE(epsilon.blockId.isNull());
    EXPECT_TRUE(hasBlock("epsilon"));
    EXPECT_TRUE(layerId("0_epsilon").isNull());  // on layer "0"
}

}  // namespace
