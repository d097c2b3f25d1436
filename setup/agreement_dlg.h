#pragma once
// The licence agreement shown before anything is installed. "Continue" (enabled only once
// the user agrees) runs the installation wizard; "Quit" ends the program.

#include <QDialog>
#include <string>

class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace setup {

class CAgreementDlg : public QDialog {
  public:
    // setupFolder (host path) holds license.txt or license.tx_.
    explicit CAgreementDlg(const std::string& setupFolder, QWidget* parent = nullptr);

  private:
    void onContinue();

    QRadioButton* agree_;
    QRadioButton* disagree_;
    QPlainTextEdit* license_;
    QPushButton* continue_;
};

}  // namespace setup
