// Open Dwg and the open stage: the files of the selected rows in list order, drawings opened
// through the automation object (several-document mode) or the synchronous open (one at a
// time), open drawings taken as they are, and LINKHOLDSD activating the last one.

#include "plugin/host/open_stage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cadhost/app/system_variables.h"
#include "cadhost/host_console.h"
#include "plugin/host/commands.h"
#include "xref_commands_fixture.h"

namespace {

using namespace lnkhold;
using plugintest::XrefCommands;
using testing::AllOf;
using testing::ElementsAre;
using testing::HasSubstr;

class OpenStageTest : public XrefCommands {
  protected:
    void TearDown() override {
        openStage() = OpenStage{};
        cadhost::app::systemVariables().set("SDI", 0);
        XrefCommands::TearDown();
    }
    static std::vector<std::string> openFiles() {
        std::vector<std::string> files;
        std::unique_ptr<AcApDocumentIterator> it(acDocManagerPtr()->newAcApDocumentIterator());
        for (; !it->done(); it->step()) {
            files.emplace_back(it->document()->fileName());
        }
        return files;
    }

    apptest::HostConsole console;
};

TEST_F(OpenStageTest, OpenDwgKeepsTheFilesOfTheSelectedRowsAndClosesAsOkDoes) {
    select({"abs", "missing", "plan", "trees"});
    dialog.openSelected();
    // The missing file is passed over; plan's relative stored path is found where the host
    // found it.
    EXPECT_THAT(
        openStage().pendingOpenPaths,
        ElementsAre(hostPath("abs\\abs.dxf"), hostPath("sub\\plan.dxf"), hostPath("trees.dxf")));
    EXPECT_TRUE(dialog.openRequested());
    EXPECT_EQ(view.closedWithOk, 1);
    EXPECT_TRUE(view.windowEnabled);
    EXPECT_FALSE(view.waitCursor);

    select({"abs"});
    dialog.openSelected();  // each Open Dwg starts a new list
    EXPECT_THAT(openStage().pendingOpenPaths, ElementsAre(hostPath("abs\\abs.dxf")));
}

TEST_F(OpenStageTest, SeveralDocumentsOpenInListOrderAndTheLastIsActivated) {
    const std::string host = acDocManagerPtr()->curDocument()->fileName();
    openStage().pendingOpenPaths = {hostPath("abs\\abs.dxf"), hostPath("trees.dxf")};
    AcApDocument* last = openPendingDrawings();
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(std::string(last->fileName()), hostPath("trees.dxf"));
    EXPECT_THAT(openFiles(), ElementsAre(host, hostPath("abs\\abs.dxf"), hostPath("trees.dxf")));

    // Open already, named in other letter case: taken as it is, not opened again.
    std::string upper = hostPath("ABS\\ABS.DXF");
    openStage().pendingOpenPaths = {hostPath("trees.dxf"), upper};
    EXPECT_EQ(std::string(openPendingDrawings()->fileName()), hostPath("abs\\abs.dxf"));
    EXPECT_EQ(openFiles().size(), 3u);

    openStage().documentToActivate = last;
    secondStageCommand();
    EXPECT_EQ(acDocManagerPtr()->curDocument(), last);
    EXPECT_EQ(openStage().documentToActivate, nullptr);
}

TEST_F(OpenStageTest, FailuresAreNamedAndTheLastPathDecides) {
    console.output();
    openStage().pendingOpenPaths = {hostPath("trees.dxf"), hostPath("gone\\nothing.dxf")};
    EXPECT_EQ(openPendingDrawings(), nullptr);  // the last one failed
    EXPECT_THAT(console.output(), HasSubstr("\nerror: xref not found"));
    EXPECT_EQ(openFiles().size(), 2u);  // trees was opened all the same

    openStage().pendingOpenPaths = {hostPath("notdxf.dxf")};
    EXPECT_EQ(openPendingDrawings(), nullptr);
    // The host says why, then the code the automation object gave.
    EXPECT_THAT(console.output(),
                AllOf(HasSubstr("notdxf.dxf"), HasSubstr("\nUnknown error 0x80210074")));

    openStage().pendingOpenPaths.clear();
    EXPECT_EQ(openPendingDrawings(), nullptr);
    EXPECT_THAT(console.output(), HasSubstr("\nNo found xrefs to open. Check Xref paths"));
}

TEST_F(OpenStageTest, OneDocumentAtATimeUsesTheSynchronousOpen) {
    cadhost::app::systemVariables().set("SDI", 1);
    openStage().pendingOpenPaths = {hostPath("trees.dxf")};
    EXPECT_EQ(openPendingDrawings(), nullptr);  // nothing to activate afterwards
    EXPECT_THAT(openFiles(), ElementsAre(hostPath("trees.dxf")));
    EXPECT_EQ(std::string(acDocManagerPtr()->curDocument()->fileName()), hostPath("trees.dxf"));
}

TEST_F(OpenStageTest, TypedLinkholdsdOnlySaysItIsForInternalUse) {
    console.output();
    AcApDocument* before = acDocManagerPtr()->curDocument();
    secondStageCommand();
    EXPECT_EQ(console.output(), "\nLinkholdSD for internal use only. Use Linkhold or LKH instead");
    EXPECT_EQ(acDocManagerPtr()->curDocument(), before);
}

}  // namespace
