#include "setup/main_sheet.h"

#include "platform/ui/dialog_units.h"
#include "setup/acad_versions.h"
#include "setup/install_directory.h"
#include "setup/install_page.h"
#include "setup/strings.h"

namespace setup {

CMainSheet::CMainSheet(QWidget* parent)
    : QWizard(parent),
      installPage_(new CInstallPage(*this)),
      directoryPage_(new CInstallDirectory),
      versionsPage_(new CAcadVersions(*this)) {
    setFont(platform::dialogFont());
    setWindowTitle(QString::fromLocal8Bit(loadString(IDS_APPNAME)));
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoDefaultButton, false);
    // The wizard owns its pages and deletes them with itself.
    setPage(kInstallPage, installPage_);
    setPage(kDirectoryPage, directoryPage_);
    setPage(kVersionsPage, versionsPage_);
    setStartId(kInstallPage);
}

const std::string& CMainSheet::installFolder() const {
    return directoryPage_->installFolder();
}

}  // namespace setup
