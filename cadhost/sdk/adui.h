#pragma once
// The host-styled dialog base over QDialog, and the host's user-interface library.
//
// A dialog takes its resources (bitmaps, icons, help) from the resource instance that is on
// top of the document manager's resource-handle stack when it is made.

#include <QDialog>
#include <filesystem>
#include <string>

#include "rxregsvc.h"

using BOOL = int;

// Initialises the host's user-interface library for a module, making the host's Qt
// application when there is none; true when dialogs can be shown (a display, or a Qt platform
// such as offscreen, is available). After it, a module may construct dialogs.
bool InitAcUiDLL();

class CAdUiBaseDialog : public QDialog {
  public:
    explicit CAdUiBaseDialog(QWidget* parent = nullptr);

    // Runs the dialog: 1 (IDOK) for OK, 2 (IDCANCEL) for Cancel, the code given to
    // EndDialog otherwise, and -1 when it cannot be shown (no display; the command line says
    // so).
    int DoModal();
    void EndDialog(int result);

    // Start, OK and Cancel: what derived dialogs override. The defaults end the dialog with
    // 1 and 2.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    // Looks for a help file beside the dialog's resources, then beside the host; fills
    // fullPath (a host path, at most 260 characters and a NUL) when found.
    BOOL FindContextHelpFullPath(const char* fileName, char* fullPath) const;
    void SetContextHelpFullPathName(const char* fullPath);
    const char* GetContextHelpFullPathName() const { return contextHelp_.c_str(); }

    HINSTANCE resourceInstance() const { return resources_; }
    // The native path of a resource file of the dialog's instance; empty when missing.
    std::filesystem::path findResource(const std::string& name) const;

  protected:
    // Qt's OK and Cancel (buttons, Enter, Escape, closing the window) go to OnOK and OnCancel.
    void accept() override;
    void reject() override;

  private:
    HINSTANCE resources_;
    std::string contextHelp_;
};

class CAdUiDialog : public CAdUiBaseDialog {
  public:
    using CAdUiBaseDialog::CAdUiBaseDialog;
};
