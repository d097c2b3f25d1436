#include "cadhost/ui/file_dialog.h"

#include <QFileDialog>
#include <stdexcept>

#include "cadhost/ui/qt_application.h"
#include "platform/host_path.h"
#include "platform/ui/modal.h"

namespace cadhost::ui {

std::optional<std::string> chooseDrawingFile(bool save, const std::string& title,
                                             const std::string& initialHostPath) {
    if (!ensureQtApplication()) {
        throw std::runtime_error("No display for the file dialog");
    }
    QFileDialog dialog(nullptr, QString::fromStdString(title));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter("Drawing (*.dxf);;All files (*)");
    dialog.setDefaultSuffix("dxf");
    if (auto native = platform::hostToNative(initialHostPath); native.ok()) {
        dialog.selectFile(QString::fromStdString(native.value.string()));
    }
    if (platform::runModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().first().toStdString();
}

}  // namespace cadhost::ui
