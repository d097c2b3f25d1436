#pragma once
// Page 1: the installation folder. Next accepts (or creates) the typed folder and copies the
// plug-in's files into it; a refused folder keeps the page.

#include <string>

#include "setup/install_folder.h"
#include "setup/page_layout.h"
#include "setup/registry_key.h"

class QLineEdit;

namespace setup {

class CInstallDirectory : public WizardPageBase {
  public:
    CInstallDirectory();

    bool validatePage() override;
    const std::string& installFolder() const { return folder_.installFolder(); }

  private:
    void browse();

    CRegistryKey registry_;
    InstallFolder folder_;
    QLineEdit* directory_;
};

}  // namespace setup
