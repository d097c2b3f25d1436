#include "setup/setup_app.h"

#include <QCoreApplication>

#include "platform/host_path.h"
#include "platform/ui/modal.h"
#include "setup/agreement_dlg.h"
#include "setup/directory_tree.h"

namespace setup {

int CSetupApp::run() {
    CDirectoryTree::armFirstFixedDriveOpening();
    // The setup folder is the program's own, in host form.
    const std::string setupFolder =
        platform::nativeToHost(QCoreApplication::applicationDirPath().toStdString());
    CAgreementDlg agreement(setupFolder);
    return platform::runModal(agreement);
}

}  // namespace setup
