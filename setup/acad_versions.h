#pragma once
// Page 2: the host products found, to register (Install) or unregister (Uninstall). Finish is
// enabled only while at least one product is selected, and only after the selection changed
// on this visit.

#include <string>
#include <vector>

#include "setup/page_layout.h"
#include "setup/registry_key.h"

class QLabel;
class QListWidget;

namespace setup {

class CMainSheet;

class CAcadVersions : public WizardPageBase {
  public:
    explicit CAcadVersions(CMainSheet& sheet);

    void initializePage() override;
    void cleanupPage() override {}  // the list and its selection stay for the next visit
    bool isComplete() const override;
    bool validatePage() override;

  private:
    void fillProducts();
    void selectionChanged();
    std::vector<std::string> selectedProducts() const;

    CMainSheet& sheet_;
    CRegistryKey registry_;
    QListWidget* products_;
    QLabel* title_;
    bool filled_ = false;
    bool finishEnabled_ = false;
};

}  // namespace setup
