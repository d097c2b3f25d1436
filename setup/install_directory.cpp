#include "setup/install_directory.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/ui/modal.h"
#include "setup/directory_dlg.h"
#include "setup/message_box_sink.h"
#include "setup/resource_ids.h"

namespace setup {

CInstallDirectory::CInstallDirectory()
    : WizardPageBase("Installation Directory"), folder_(messageBoxesOf(this)) {
    addSidePicture(7, 7, 96, 123);
    directory_ = new QLineEdit(this);
    directory_->setObjectName(controlName(IDC_DIRECTORY));
    units().place(directory_, 109, 18, 201, 14);
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    browse->setObjectName(controlName(IDC_BROWSE));
    units().place(browse, 314, 18, 11, 14);
    auto* label = new QLabel(QStringLiteral("Installation directory"), this);
    units().place(label, 109, 7, 63, 8);

    directory_->setText(QString::fromLocal8Bit(defaultInstallFolder(registry_)));
    connect(browse, &QPushButton::clicked, this, [this] { this->browse(); });
}

void CInstallDirectory::browse() {
    // The browser starts at the Program Files folder, whatever the edit holds.
    CDirectoryDlg browser(programFilesFolder(registry_), this);
    if (platform::runModal(browser) == QDialog::Accepted) {
        directory_->setText(QString::fromLocal8Bit(browser.selectedFolder()));
    }
}

bool CInstallDirectory::validatePage() {
    if (!folder_.accept(directory_->text().toLocal8Bit().toStdString())) {
        return false;
    }
    // Files already copied stay whatever the answer; No keeps the page, so nothing is
    // registered for a module that is not there.
    return goOnDespite(copyListedFiles(folder_.sourceFolder(), folder_.installFolder()),
                       folder_.installFolder(), messageBoxesOf(this));
}

}  // namespace setup
