#pragma once
// The xref dialog on the host's command line: the options, selection, status line and button
// states the operations keep in the dialog are kept here, and the file choosers are prompts.

#include <array>
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "plugin/ops/dialog_operations.h"

namespace lnkhold {

// Room for the longest path or list of name patterns a user types at a prompt of the form.
inline constexpr std::size_t kAnswerSize = 4096;

class CommandLineView : public DialogView {
  public:
    // The operations the view reports selection changes to; set once both exist.
    void setOperations(DialogOperations& operations) { operations_ = &operations; }

    bool isChecked(DialogOption option) const override;
    void setChecked(DialogOption option, bool checked) override;
    int insertionLayer() const override { return insertionLayer_; }
    void setInsertionLayer(int index) override;
    std::vector<int> selectedPositions() const override;
    void setItemSelected(int position, bool selected) override;
    void setStatusText(const std::string& text) override { statusText_ = text; }
    // The selection is kept by row name: when the list is filled anew or sorted, the rows
    // selected before stay selected (unlike the dialog's list, which drops its selection), so
    // that a script can run several options on one selection. The operations hear of it at
    // their next selection change.
    void setItemCount(int count) override;
    void redrawList() override {}
    void setControlEnabled(int controlId, bool enabled) override { enabled_[controlId] = enabled; }
    // OK as the command ends it: the list goes into the marker and the settings are stored,
    // the column widths as they were read.
    void closeWithOk() override;
    void showWaitCursor(bool) override {}
    void setWindowEnabled(bool) override {}
    // Prompts for the files with the text set by setFilePrompt: several names, one a line
    // ending with an empty line, when the request allows several; a folder where it accepts
    // one; names typed as host paths or native ones ("/...", "~/...").
    std::vector<std::string> chooseFiles(const platform::FileDialogRequest& request) override;

    // Selects exactly these positions; one selection change reported.
    void select(const std::vector<int>& positions);
    // The prompt of the next file chooser ("Drawing to add").
    void setFilePrompt(std::string prompt) { filePrompt_ = std::move(prompt); }
    // False only for a button the operations disabled.
    bool isControlEnabled(int controlId) const;
    const std::string& statusText() const { return statusText_; }
    bool closedWithOk() const { return closedWithOk_; }
    // Whether an answer was refused in a way that ends the command (a script, a pipe), or
    // the input ended.
    bool failed() const { return failed_; }

  private:
    std::vector<std::string> chooseSeveral(const platform::FileDialogRequest& request);
    // One file; empty when the user gave none or a file that must exist does not.
    std::string chooseOne(const platform::FileDialogRequest& request);

    DialogOperations* operations_ = nullptr;
    std::map<DialogOption, bool> checks_;
    int insertionLayer_ = -1;
    std::set<std::string> selectedNames_;
    std::string statusText_;
    int itemCount_ = 0;
    std::map<int, bool> enabled_;
    std::string filePrompt_ = "File name";
    std::array<int, kColumnCount> columnWidths_ = DialogOperations::storedColumnWidths();
    bool closedWithOk_ = false;
    bool failed_ = false;
};

}  // namespace lnkhold
