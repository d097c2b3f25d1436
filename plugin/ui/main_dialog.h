#pragma once
// The xref dialog: the list of the drawing's xrefs and a button per operation. The window
// shows and asks; what the buttons do is DialogOperations', which this dialog drives as its
// view.

#include <QString>
#include <map>

#include "plugin/ops/dialog_operations.h"
#include "plugin/ops/dialog_view.h"
#include "plugin/ui/background_dialog.h"

class QComboBox;
class QLineEdit;
class QWidget;

namespace lnkhold {

class HoverButton;
class XrefListView;

// Keeps the module's resource instance on top of the host's resource stack for its lifetime;
// the dialog's first base, so the host's dialog base already finds the module's resources.
class ModuleResourceScope {
  public:
    ModuleResourceScope();
    ~ModuleResourceScope();
    ModuleResourceScope(const ModuleResourceScope&) = delete;
    ModuleResourceScope& operator=(const ModuleResourceScope&) = delete;
};

class MainDialog : private ModuleResourceScope, public BackgroundDialog, public DialogView {
  public:
    explicit MainDialog(QWidget* parent = nullptr);
    ~MainDialog() override;

    // Whether Open Dwg closed the dialog; read by the command after it has closed.
    bool openRequested() const { return operations_.openRequested(); }

    BOOL OnInitDialog() override;
    void OnOK() override;

    // The dialog's commands, as its buttons run them.
    void onAdd();
    void onRemove();
    void onSelectAll();
    void onClearAll();
    void onVisretain();
    void onAttach();
    void onOverlay();
    void onDetach();
    void onUnload();
    void onReload();
    void onRepath();
    void onStripPath();
    void onInsert();
    void onOpenDwg();
    void onSaveSetFile();
    void onLoadSetFile();
    void onHelp();
    void onAbout();

    // DialogView
    bool isChecked(DialogOption option) const override;
    void setChecked(DialogOption option, bool checked) override;
    int insertionLayer() const override;
    void setInsertionLayer(int index) override;
    std::vector<int> selectedPositions() const override;
    void setItemSelected(int position, bool selected) override;
    void setStatusText(const std::string& text) override;
    void setItemCount(int count) override;
    void redrawList() override;
    void closeWithOk() override;
    void setControlEnabled(int controlId, bool enabled) override;
    void showWaitCursor(bool waiting) override;
    void setWindowEnabled(bool enabled) override;
    std::vector<std::string> chooseFiles(const platform::FileDialogRequest& request) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void createControls();
    void styleControls();
    HoverButton* button(int controlId) const;
    HoverButton* optionBox(DialogOption option) const;
    // Shows the help file's contents; every help request of the dialog does.
    void showHelp(unsigned command);

    DialogOperations operations_{*this};
    std::map<int, HoverButton*> buttons_;
    XrefListView* list_ = nullptr;
    QComboBox* insertionLayer_ = nullptr;
    QLineEdit* statusLine_ = nullptr;
    bool waiting_ = false;
};

}  // namespace lnkhold
