#include <QApplication>
#include <cstring>

#include "cadhost/app/command_line.h"
#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/aced.h"
#include "cadhost/sdk/adui.h"
#include "cadhost/ui/qt_application.h"
#include "platform/host_path.h"
#include "platform/ui/modal.h"

bool InitAcUiDLL() {
    // Made here, not at the first DoModal: a module constructs its dialogs before it runs them.
    return cadhost::ui::ensureQtApplication();
}

CAdUiBaseDialog::CAdUiBaseDialog(QWidget* parent)
    : QDialog(parent), resources_(acDocManagerPtr()->curResourceHandle()) {}

int CAdUiBaseDialog::DoModal() {
    if (!cadhost::ui::ensureQtApplication()) {
        cadhost::app::commandLine().print(
            "\n** No display: the dialog cannot be shown (set DISPLAY, or "
            "QT_QPA_PLATFORM=offscreen) "
            "**\n");
        return -1;
    }
    setResult(0);
    OnInitDialog();
    const int result = platform::runModal(*this);
    return result == QDialog::Rejected ? platform::IDCANCEL : result;
}

void CAdUiBaseDialog::EndDialog(int result) {
    QDialog::done(result);
}

BOOL CAdUiBaseDialog::OnInitDialog() {
    return 1;
}

void CAdUiBaseDialog::OnOK() {
    EndDialog(platform::IDOK);
}

void CAdUiBaseDialog::OnCancel() {
    EndDialog(platform::IDCANCEL);
}

void CAdUiBaseDialog::accept() {
    OnOK();
}

void CAdUiBaseDialog::reject() {
    OnCancel();
}

std::filesystem::path CAdUiBaseDialog::findResource(const std::string& name) const {
    std::error_code ec;
    const std::filesystem::path path = acedResourceFolder(resources_) / name;
    return std::filesystem::is_regular_file(path, ec) ? path : std::filesystem::path();
}

BOOL CAdUiBaseDialog::FindContextHelpFullPath(const char* fileName, char* fullPath) const {
    if (!fileName || !*fileName || !fullPath) {
        return 0;
    }
    std::error_code ec;
    for (HINSTANCE instance : {resources_, acedGetAcadResourceInstance()}) {
        const std::filesystem::path path = acedResourceFolder(instance) / fileName;
        if (std::filesystem::is_regular_file(path, ec)) {
            const std::string host = platform::nativeToHost(path);
            if (host.size() >= 261) {
                return 0;
            }
            std::memcpy(fullPath, host.c_str(), host.size() + 1);
            return 1;
        }
    }
    return 0;
}

void CAdUiBaseDialog::SetContextHelpFullPathName(const char* fullPath) {
    contextHelp_ = fullPath ? fullPath : "";
}
