// The dialog's own commands without a window: the button states for each selection, Add with
// its duplicates, Remove of a mix, the selection commands, Visretain, the column sort.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "cadhost/sdk/acedxref.h"
#include "cadhost/sdk/dbapserv.h"
#include "plugin/model/settings.h"
#include "plugin/ops/button_states.h"
#include "plugin/ops/control_ids.h"
#include "plugin/ops/dialog_operations.h"
#include "plugin_test_support.h"

namespace {

using namespace lnkhold;
using plugintest::RecordingView;
using testing::ElementsAre;

class DialogCommands : public plugintest::HostFixture {
  protected:
    void SetUp() override {
        HostFixture::SetUp();
        writeSetting("AutoAttach", 0);  // Add leaves its rows pending here
    }
    int positionOf(const std::string& name) {
        for (int i = 0; i < dialog.rows().count(); ++i) {
            if (dialog.rowAt(i)->name == name) {
                return i;
            }
        }
        throw std::runtime_error("no row " + name);
    }
    void select(std::initializer_list<const char*> names) {
        view.selected.clear();
        for (const char* name : names) {
            view.selected.push_back(positionOf(name));
        }
        std::sort(view.selected.begin(), view.selected.end());
        dialog.selectionChanged();
    }
    // The enabled buttons, by number, after the last update.
    std::vector<int> enabled() const {
        std::vector<int> ids;
        for (const auto& [id, on] : view.enabledControls) {
            if (on) {
                ids.push_back(id);
            }
        }
        return ids;
    }
    std::vector<std::string> names() const {
        std::vector<std::string> list;
        for (int i = 0; i < dialog.rows().count(); ++i) {
            list.push_back(dialog.rowAt(i)->name);
        }
        return list;
    }

    RecordingView view;
    DialogOperations dialog{view};
};

TEST_F(DialogCommands, ButtonsFollowTheSelectionAndTheStatusOfOneRow) {
    open("host.dxf");
    dialog.start();
    // Nothing selected: Add, Save, Load and the selection commands.
    EXPECT_THAT(enabled(),
                ElementsAre(IDC_ADD, IDC_SAVE_LKH, IDC_LOAD_LKH, IDC_SELECT_ALL, IDC_CLEAR_ALL));

    select({"abs"});  // attached
    EXPECT_THAT(enabled(), ElementsAre(IDC_ADD, IDC_UNLOAD, IDC_RELOAD, IDC_DETACH, IDC_REPATH,
                                       IDC_OPEN_DWG, IDC_INSERT, IDC_SAVE_LKH, IDC_LOAD_LKH,
                                       IDC_SELECT_ALL, IDC_CLEAR_ALL, IDC_STRIP_PATH));
    EXPECT_EQ(view.statusText, hostPath("abs\\abs.dxf"));

    select({"missing"});  // file not found: Reload and Detach but no Unload or Insert
    EXPECT_FALSE(view.enabledControls[IDC_UNLOAD]);
    EXPECT_FALSE(view.enabledControls[IDC_INSERT]);
    EXPECT_TRUE(view.enabledControls[IDC_RELOAD]);
    EXPECT_TRUE(view.enabledControls[IDC_DETACH]);
    EXPECT_FALSE(view.enabledControls[IDC_REMOVE]);

    select({"loose"});  // status 3 and "Unreferenced": Detach on
    EXPECT_EQ(dialog.rowAt(positionOf("loose"))->statusCode, AcDb::kXrfUnreferenced);
    EXPECT_TRUE(view.enabledControls[IDC_DETACH]);
    EXPECT_TRUE(view.enabledControls[IDC_ATTACH]);

    std::ofstream(folder() / "extra.dxf") << "0\nEOF\n";
    dialog.addFiles({hostPath("extra.dxf")});
    select({"extra"});  // an added file: status 3, "Detached", Detach off
    EXPECT_THAT(enabled(), ElementsAre(IDC_ADD, IDC_REMOVE, IDC_REPATH, IDC_ATTACH, IDC_OVERLAY,
                                       IDC_OPEN_DWG, IDC_SAVE_LKH, IDC_LOAD_LKH, IDC_SELECT_ALL,
                                       IDC_CLEAR_ALL, IDC_STRIP_PATH));

    select({"abs", "extra"});  // several: every operation, no Save
    EXPECT_TRUE(view.enabledControls[IDC_OPEN_DWG]);
    EXPECT_FALSE(view.enabledControls[IDC_SAVE_LKH]);
    EXPECT_TRUE(view.enabledControls[IDC_DETACH]);
    EXPECT_TRUE(view.enabledControls[IDC_ATTACH]);
    EXPECT_EQ(view.statusText, "...");
}

TEST_F(DialogCommands, SeveralRowsInSingleDrawingModeCannotBeOpenedAndUnknownStatusesKeepButtons) {
    XrefRowList rows;
    for (int status : {1, 9}) {
        auto row = std::make_unique<XrefRow>();
        row->setStatus(status, false, false);
        rows.append(std::move(row));
    }
    const auto stateOf = [](const std::vector<ButtonState>& states, int id) {
        for (const ButtonState& state : states) {
            if (state.controlId == id) {
                return state.enabled ? 1 : 0;
            }
        }
        return -1;  // not set: keeps its previous state
    };
    EXPECT_EQ(stateOf(buttonStates(rows, {0, 1}, 1), IDC_OPEN_DWG), 0);
    EXPECT_EQ(stateOf(buttonStates(rows, {0, 1}, 0), IDC_OPEN_DWG), 1);

    for (const std::vector<int>& oddOne : {std::vector<int>{1}, std::vector<int>{7}}) {
        const auto states = buttonStates(rows, oddOne, 1);
        EXPECT_EQ(stateOf(states, IDC_ADD), 1);
        EXPECT_EQ(stateOf(states, IDC_LOAD_LKH), 1);
        EXPECT_EQ(stateOf(states, IDC_OPEN_DWG), 1);
        EXPECT_EQ(stateOf(states, IDC_SELECT_ALL), 1);
        EXPECT_EQ(stateOf(states, IDC_DETACH), -1);
        EXPECT_EQ(stateOf(states, IDC_SAVE_LKH), -1);
    }
    const auto none = buttonStates(XrefRowList{}, {}, 0);
    EXPECT_EQ(stateOf(none, IDC_SELECT_ALL), 0);
    EXPECT_EQ(stateOf(none, IDC_CLEAR_ALL), 0);
}

TEST_F(DialogCommands, AddKeepsOneRowPerNameAndNoneForABlockOfTheDrawing) {
    open("host.dxf");
    dialog.start();
    const int before = dialog.rows().count();
    std::filesystem::create_directories(folder() / "other");
    for (const char* file : {"new.dxf", "other/new.dxf", "other/Trees.dxf", "other/PLAN.dxf"}) {
        std::ofstream(folder() / file) << "0\nEOF\n";
    }
    view.checks[DialogOption::AcadPath] = false;
    view.chosenFiles = {hostPath("new.dxf"), hostPath("other\\new.dxf")};
    dialog.add();
    ASSERT_EQ(view.fileRequests.size(), 1u);
    EXPECT_EQ(view.fileRequests[0].filter,
              "Drawings (*.dwg, *.dxf)|*.dwg;*.dxf|Autocad DWG Files (*.dwg)|*.dwg|"
              "DXF Files (*.dxf)|*.dxf||");
    EXPECT_TRUE(view.fileRequests[0].flags & platform::OFN_ALLOWMULTISELECT);
    EXPECT_TRUE(view.fileRequests[0].flags & platform::OFN_FILEMUSTEXIST);
    EXPECT_EQ(view.fileRequests[0].defaultExtension, "dwg");
    EXPECT_TRUE(view.windowEnabled);
    EXPECT_FALSE(view.waitCursor);

    EXPECT_EQ(dialog.rows().count(), before + 1);
    const XrefRow& added = *dialog.rows().findByName("new");
    EXPECT_EQ(added.addedFromFile, 1);
    EXPECT_EQ(added.statusText, "Detached");
    EXPECT_EQ(added.foundPath, hostPath("new.dxf"));  // the first of the two files

    // Again in a second run; then names of the drawing's blocks (block names ignore case).
    view.chosenFiles = {hostPath("new.dxf"), hostPath("other\\PLAN.dxf"),
                        hostPath("other\\Trees.dxf")};
    EXPECT_EQ(dialog.addFiles(view.chosenFiles), 0);
    EXPECT_EQ(dialog.rows().count(), before + 1);
    EXPECT_EQ(view.itemCount, before + 1);

    // With "Acad Path" ticked the row keeps the bare name when the file is found that way.
    std::ofstream(folder() / "support" / "bare.dxf") << "0\nEOF\n";
    std::ofstream(folder() / "other" / "bare.dxf") << "0\nEOF\n";
    view.checks[DialogOption::AcadPath] = true;
    EXPECT_EQ(dialog.addFiles({hostPath("other\\bare.dxf")}), 1);
    EXPECT_EQ(dialog.rows().findByName("bare")->folder, kAcadPathFolder);
    EXPECT_EQ(dialog.rows().findByName("bare")->foundPath, hostPath("support\\bare.dxf"));

    // A cancelled file dialog adds nothing and gives the window back.
    view.chosenFiles = {};
    dialog.add();
    EXPECT_EQ(dialog.rows().count(), before + 2);
    EXPECT_TRUE(view.windowEnabled);
}

TEST_F(DialogCommands, RemoveDropsOnlyRowsThatAreNotInTheDrawing) {
    open("host.dxf");
    dialog.start();
    for (const char* file : {"a1.dxf", "a2.dxf"}) {
        std::ofstream(folder() / file) << "0\nEOF\n";
    }
    dialog.addFiles({hostPath("a1.dxf"), hostPath("a2.dxf")});
    const int before = dialog.rows().count();
    select({"a1", "abs", "a2", "trees"});
    dialog.removeSelected();
    EXPECT_EQ(dialog.rows().count(), before - 2);
    EXPECT_EQ(dialog.rows().findByName("a1"), nullptr);
    EXPECT_NE(dialog.rows().findByName("abs"), nullptr);
    EXPECT_TRUE(view.selected.empty());
    EXPECT_EQ(view.itemCount, before - 2);
    EXPECT_TRUE(view.enabledControls[IDC_SELECT_ALL]);
}

TEST_F(DialogCommands, SelectAllSelectsEachRowInTurnAndClearAllUndoesIt) {
    open("host.dxf");
    dialog.start();
    const int rows = dialog.rows().count();
    dialog.selectAll();
    EXPECT_EQ(view.selectionChanges, rows);
    EXPECT_EQ(static_cast<int>(view.selected.size()), rows);
    dialog.selectionChanged();
    EXPECT_EQ(view.statusText, "...");
    dialog.clearSelection();
    EXPECT_EQ(view.selectionChanges, 2 * rows);
    EXPECT_TRUE(view.selected.empty());
}

TEST_F(DialogCommands, VisretainFollowsTheOptionAtOnce) {
    open("host.dxf");
    dialog.start();
    const bool before = drawing()->visretain();
    view.checks[DialogOption::Visretain] = !before;
    dialog.applyVisretain();
    EXPECT_EQ(drawing()->visretain(), !before);
    view.checks[DialogOption::Visretain] = before;
    dialog.applyVisretain();
    EXPECT_EQ(drawing()->visretain(), before);
}

TEST_F(DialogCommands, ColumnSortsIgnoreCaseAndKeepTiesInTheirOrder) {
    XrefRowList rows;
    const auto add = [&](const char* name, const char* status, std::int64_t time) {
        auto row = std::make_unique<XrefRow>();
        row->name = name;
        row->statusText = status;
        row->fileTime = time;
        rows.append(std::move(row));
    };
    add("cherry", "Attached", 3);
    add("Banana", "unloaded", 1);
    add("apple", "Attached", 2);
    const auto order = [&] {
        std::vector<std::string> list;
        for (int i = 0; i < rows.count(); ++i) {
            list.push_back(rows.rowAt(i)->name);
        }
        return list;
    };
    rows.sortByName(true);
    EXPECT_THAT(order(), ElementsAre("apple", "Banana", "cherry"));  // not by character code
    rows.sortByColumn(1, true);  // "Attached" twice: apple stays before cherry
    EXPECT_THAT(order(), ElementsAre("apple", "cherry", "Banana"));
    rows.sortByColumn(1, false);
    EXPECT_THAT(order(), ElementsAre("Banana", "apple", "cherry"));
    rows.sortByColumn(3, true);
    EXPECT_THAT(order(), ElementsAre("Banana", "apple", "cherry"));
    rows.sortByColumn(0, false);
    EXPECT_THAT(order(), ElementsAre("cherry", "Banana", "apple"));
}

}  // namespace
