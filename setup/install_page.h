#pragma once
// Page 0: install or uninstall. Next decides the wizard's mode: Install goes on to the
// folder page, Uninstall straight to the product page.

#include "setup/page_layout.h"

class QLabel;
class QRadioButton;

namespace setup {

class CMainSheet;

class CInstallPage : public WizardPageBase {
  public:
    explicit CInstallPage(CMainSheet& sheet);

    bool validatePage() override;
    int nextId() const override;

  private:
    CMainSheet& sheet_;
    QRadioButton* install_;
    QRadioButton* uninstall_;
    QLabel* note_;
};

}  // namespace setup
