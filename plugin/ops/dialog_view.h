#pragma once
// What the xref operations need of the dialog that shows them: its options, its selection,
// its status line and item count, and the signs that it is busy. The Qt dialog implements it
// with widgets, a command-line form with prompts.

#include <string>
#include <vector>

#include "platform/file_dialog_request.h"

namespace lnkhold {

enum class DialogOption { AcadPath, XsRetain, AutomaticallyAttach, Visretain };

class DialogView {
  public:
    virtual ~DialogView() = default;

    virtual bool isChecked(DialogOption option) const = 0;
    // Shows the new state at once.
    virtual void setChecked(DialogOption option, bool checked) = 0;

    // Insertion layer choice: 0 "0_<xrefname>", 1 "0", 2 "Current layer"; -1 for none.
    virtual int insertionLayer() const = 0;
    // An index outside 0..2 leaves no choice made.
    virtual void setInsertionLayer(int index) = 0;

    // The selected list positions, lowest first.
    virtual std::vector<int> selectedPositions() const = 0;
    // Selects or deselects one list position; the view then reports the selection change.
    virtual void setItemSelected(int position, bool selected) = 0;
    virtual void setStatusText(const std::string& text) = 0;
    // The number of rows changed; the view asks for what it shows.
    virtual void setItemCount(int count) = 0;
    // The rows changed in place: the list shows them again at once, selection kept.
    virtual void redrawList() = 0;

    // Enables or disables one of the dialog's buttons (control_ids.h).
    virtual void setControlEnabled(int controlId, bool enabled) = 0;

    // Ends the dialog as its OK button does (what OK keeps is kept).
    virtual void closeWithOk() = 0;

    virtual void showWaitCursor(bool waiting) = 0;
    virtual void setWindowEnabled(bool enabled) = 0;

    // Asks the user for files; their host paths, none when the user cancelled.
    virtual std::vector<std::string> chooseFiles(const platform::FileDialogRequest& request) = 0;
};

}  // namespace lnkhold
