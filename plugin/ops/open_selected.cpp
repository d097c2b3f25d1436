// Open Dwg: the files of the selected rows are kept for the open stage, which opens them once
// the dialog has closed with OK.

#include "plugin/host/open_stage.h"
#include "plugin/ops/dialog_operations.h"

namespace lnkhold {

void DialogOperations::openSelected() {
    std::vector<std::string>& paths = openStage().pendingOpenPaths;
    paths.clear();
    view_.showWaitCursor(true);
    view_.setWindowEnabled(false);
    for (const int position : view_.selectedPositions()) {
        if (const XrefRow* row = rowAt(position)) {
            // A row whose file is not found is passed over without a message.
            if (std::string file = row->locatedFile(); !file.empty()) {
                paths.push_back(std::move(file));
            }
        }
    }
    view_.setWindowEnabled(true);
    openRequested_ = true;
    view_.closeWithOk();
    view_.showWaitCursor(false);
}

}  // namespace lnkhold
