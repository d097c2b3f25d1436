#include "setup/install_page.h"

#include <QLabel>
#include <QRadioButton>

#include "setup/main_sheet.h"
#include "setup/resource_ids.h"
#include "setup/strings.h"

namespace setup {

CInstallPage::CInstallPage(CMainSheet& sheet) : WizardPageBase("Property Page"), sheet_(sheet) {
    const QString appName = QString::fromLocal8Bit(loadString(IDS_APPNAME));
    install_ = new QRadioButton(QString::fromLocal8Bit(loadString(IDS_INSTALL)) + appName, this);
    install_->setObjectName(controlName(IDC_INSTALL));
    units().place(install_, 108, 31, 138, 8);
    uninstall_ =
        new QRadioButton(QString::fromLocal8Bit(loadString(IDS_UNINSTALL)) + appName, this);
    uninstall_->setObjectName(controlName(IDC_UNINSTALL));
    units().place(uninstall_, 108, 45, 138, 8);
    note_ = new QLabel(QStringLiteral("Uninstalling only removes the demand loading of this "
                                      "application from AutoCAD.  You will need to manually remove "
                                      "the files from the installation directory."),
                       this);
    note_->setObjectName(controlName(IDC_UNINSTALL_NOTE));
    note_->setWordWrap(true);
    note_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    units().place(note_, 108, 58, 138, 40);
    addSidePicture(7, 7, 93, 121);

    install_->setChecked(true);
    note_->setEnabled(false);
    connect(install_, &QRadioButton::clicked, this, [this] { note_->setEnabled(false); });
    connect(uninstall_, &QRadioButton::clicked, this, [this] { note_->setEnabled(true); });
}

bool CInstallPage::validatePage() {
    sheet_.setMode(install_->isChecked() ? CMainSheet::kInstall : CMainSheet::kUninstall);
    return true;
}

int CInstallPage::nextId() const {
    return install_->isChecked() ? CMainSheet::kDirectoryPage : CMainSheet::kVersionsPage;
}

}  // namespace setup
