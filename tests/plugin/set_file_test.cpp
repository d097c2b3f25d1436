// Xref set files: the exact bytes saved, tolerant reading, the names that are dropped, the
// name offered, and files that cannot be written or read (named on the command line, the list
// and the old file left as they were).

#include "plugin/setfile/set_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "cadhost/dxf_test_support.h"
#include "cadhost/host_console.h"
#include "platform/collation.h"
#include "plugin/ops/dialog_operations.h"
#include "plugin_test_support.h"

namespace {

using namespace lnkhold;
using plugintest::RecordingView;
using testing::ElementsAre;
using testing::HasSubstr;

class SetFiles : public plugintest::HostFixture {
  protected:
    void SetUp() override {
        HostFixture::SetUp();
        console = std::make_unique<apptest::HostConsole>();
    }
    void TearDown() override {
        console.reset();
        HostFixture::TearDown();
    }
    std::vector<std::string> names() const {
        std::vector<std::string> list;
        for (int i = 0; i < dialog.rows().count(); ++i) {
            list.push_back(dialog.rowAt(i)->name);
        }
        return list;
    }
    std::string bytesOf(const std::string& name) const {
        return dxftest::readBytes(folder() / name);
    }

    std::unique_ptr<apptest::HostConsole> console;
    RecordingView view;
    DialogOperations dialog{view};
};

TEST_F(SetFiles, EntriesAreFullPathsEachEndedByCrLf) {
    dialog.addRowsFromSetText("C:\\p\\a.dwg\nplan.dxf\n");
    view.chosenFiles = {hostPath("list.lkh")};
    dialog.saveSetFile();
    EXPECT_EQ(bytesOf("list.lkh"), "C:\\p\\a.dwg\r\nplan.dwg\r\n");
    ASSERT_EQ(view.fileRequests.size(), 1u);
    const platform::FileDialogRequest& request = view.fileRequests[0];
    EXPECT_TRUE(request.save);
    EXPECT_EQ(request.filter, "Holdset Files (*.lkh)|*.lkh|All Files (*.*)|*.*||");
    EXPECT_EQ(request.defaultExtension, "lkh");
    EXPECT_EQ(request.flags, platform::OFN_OVERWRITEPROMPT | platform::OFN_CREATEPROMPT |
                                 platform::OFN_ENABLESIZING);
    EXPECT_EQ(request.initialName, "");  // no drawing

    // Read back as written: the same rows, nothing new.
    EXPECT_EQ(dialog.addRowsFromSetText(bytesOf("list.lkh")), 0);
}

TEST_F(SetFiles, BothDialogsOfferTheDrawingsNameAndLoadingAsksForAnExistingFile) {
    open("host.dxf");
    EXPECT_EQ(dialog.defaultSetFileName(), "host.lkh");
    view.chosenFiles = {};
    dialog.loadSetFile();
    ASSERT_EQ(view.fileRequests.size(), 1u);
    EXPECT_FALSE(view.fileRequests[0].save);
    EXPECT_EQ(view.fileRequests[0].initialName, "host.lkh");
    EXPECT_EQ(view.fileRequests[0].flags, platform::OFN_FILEMUSTEXIST | platform::OFN_ENABLESIZING);
}

TEST_F(SetFiles, LoadingReadsAnyLineEndsAndDropsNamesTheListHas) {
    open("host.dxf");
    dialog.fullRefresh();
    const int before = dialog.rows().count();
    std::ofstream(folder() / "mixed.lkh", std::ios::binary)
        << "C:\\p\\a.dwg\r\n\r\nC:\\q\\A.dwg\rC:\\x\\abs.dwg\n\nC:\\nowhere\\ghost.dwg\r\r\n"
           "C:\\p\\a.dwg\r\n";
    view.chosenFiles = {hostPath("mixed.lkh")};
    dialog.loadSetFile();
    EXPECT_EQ(dialog.rows().count(), before + 3);  // a, A, ghost; abs and the second a dropped
    EXPECT_EQ(view.itemCount, before + 3);
    for (const char* name : {"a", "A", "ghost"}) {
        const XrefRow* row = dialog.rows().findByName(name);
        ASSERT_NE(row, nullptr) << name;
        EXPECT_EQ(row->statusText, "Detached");
        EXPECT_EQ(row->addedFromFile, 1);
        EXPECT_EQ(row->foundPath, "xref not defined");
        EXPECT_TRUE(row->blockId.isNull());
    }
    const std::vector<std::string> order = names();
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end(), [](const auto& x, const auto& y) {
        return platform::lstrcmpA(x, y) < 0;
    }));
    EXPECT_FALSE(drawing()->isModifiedSinceSave());  // loading never attaches
}

TEST_F(SetFiles, AnEmptyFileAddsNothingButTheListIsSortedAgain) {
    XrefRowList& rows = dialog.rows();
    for (const char* name : {"cherry", "apple"}) {
        auto row = std::make_unique<XrefRow>();
        row->name = name;
        rows.append(std::move(row));
    }
    EXPECT_EQ(dialog.addRowsFromSetText(""), 0);
    EXPECT_THAT(names(), ElementsAre("apple", "cherry"));
}

TEST_F(SetFiles, AZeroByteEndsALineInsteadOfHidingTheRest) {
    const std::string text("C:\\p\\first.dwg\0C:\\p\\second.dwg\r\n", 32);
    EXPECT_EQ(dialog.addRowsFromSetText(text), 2);
    EXPECT_THAT(names(), ElementsAre("first", "second"));
}

TEST_F(SetFiles, SavingAnEmptyListLeavesTheOldFileAsItWas) {
    std::ofstream(folder() / "old.lkh", std::ios::binary) << "C:\\kept.dwg\r\n";
    view.chosenFiles = {hostPath("old.lkh")};
    dialog.saveSetFile();
    EXPECT_EQ(bytesOf("old.lkh"), "C:\\kept.dwg\r\n");
}

TEST_F(SetFiles, AFileThatCannotBeWrittenOrReadIsNamedAndNothingChanges) {
    dialog.addRowsFromSetText("C:\\p\\a.dwg\r\n");
    std::filesystem::create_directories(folder() / "taken.lkh");
    view.chosenFiles = {hostPath("taken.lkh")};
    dialog.saveSetFile();
    EXPECT_THAT(console->output(),
                HasSubstr("Cannot save the xref set file " + hostPath("taken.lkh") + ": "));
    EXPECT_TRUE(std::filesystem::is_directory(folder() / "taken.lkh"));
    EXPECT_TRUE(std::filesystem::is_empty(folder() / "taken.lkh"));
    // No temporary file is left behind.
    for (const auto& entry : std::filesystem::directory_iterator(folder())) {
        EXPECT_THAT(entry.path().filename().string(), testing::Not(HasSubstr(".tmp-")));
    }

    view.chosenFiles = {hostPath("missing.lkh")};
    dialog.loadSetFile();
    EXPECT_THAT(console->output(),
                HasSubstr("Cannot read the xref set file " + hostPath("missing.lkh") + ": "));
    EXPECT_EQ(dialog.rows().count(), 1);
    view.chosenFiles = {hostPath("taken.lkh")};
    dialog.loadSetFile();
    EXPECT_THAT(console->output(), HasSubstr("it is a folder"));
    EXPECT_EQ(dialog.rows().count(), 1);
}

TEST_F(SetFiles, TheEntriesOfATextSplitAtEveryRunOfLineEnds) {
    EXPECT_THAT(setFileEntries("\r\n\na\r\r\nb\n\rc"), ElementsAre("a", "b", "c"));
    EXPECT_TRUE(setFileEntries("\r\n\r\n").empty());
    EXPECT_EQ(setFileText({"a", "b"}), "a\r\nb\r\n");
    EXPECT_EQ(setFileText({}), "");
}

}  // namespace
