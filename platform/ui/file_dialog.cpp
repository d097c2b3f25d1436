#include "platform/ui/file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>
#include <filesystem>

#include "platform/current_folder.h"
#include "platform/host_path.h"
#include "platform/ui/modal.h"

namespace platform {

namespace {

// Qt reads a filter's patterns from the parenthesised list at its end, so the patterns are
// always given there; the description keeps its own text.
QString qtFilter(const std::string& description, const std::string& patterns) {
    QString spaced = QString::fromStdString(patterns);
    spaced.replace(';', ' ');
    return QString::fromStdString(description) + " (" + spaced + ")";
}

// An initial name with wildcards is no name but a filter, shown first: the folder's files
// that match it are listed.
bool isPattern(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

QStringList qtFilters(const FileDialogRequest& request) {
    QStringList filters;
    if (isPattern(request.initialName)) {
        filters << qtFilter(request.initialName, request.initialName);
    }
    for (const auto& [description, patterns] : splitFileFilter(request.filter)) {
        filters << qtFilter(description, patterns);
    }
    return filters;
}

std::string nativeFolderOf(const std::string& hostFolder) {
    const PathResult<std::filesystem::path> native = hostToNative(hostFolder);
    return native.ok() ? native.value.string() : std::string();
}

// Asks before a typed name that does not exist becomes a new file.
bool confirmCreate(QWidget* owner, const QString& file) {
    const std::string text = QFileInfo(file).fileName().toStdString() +
                             "\nThis file does not exist.\nDo you want to create it?";
    return MessageBoxA(owner, text.c_str(), "Open", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace

std::vector<std::string> runFileDialog(QWidget* owner, const FileDialogRequest& request) {
    if (ModalResponder* responder = modalResponder()) {
        return responder->fileDialog(request);
    }
    const bool multiple = !request.save && (request.flags & OFN_ALLOWMULTISELECT);
    const bool mustExist = !request.save && (request.flags & OFN_FILEMUSTEXIST);
    QFileDialog dialog(
        owner, QString::fromStdString(request.title.empty() ? (request.save ? "Save As" : "Open")
                                                            : request.title));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(multiple    ? QFileDialog::ExistingFiles
                       : mustExist ? QFileDialog::ExistingFile
                                   : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(request.flags & OFN_OVERWRITEPROMPT));
    dialog.setNameFilters(qtFilters(request));
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    dialog.setSizeGripEnabled(request.flags & OFN_ENABLESIZING);
    const std::string start = nativeFolderOf(currentHostFolder());
    if (!start.empty()) {
        dialog.setDirectory(QString::fromStdString(start));
    }
    if (!request.initialName.empty() && !isPattern(request.initialName)) {
        const PathResult<std::filesystem::path> native = hostToNative(request.initialName);
        dialog.selectFile(
            QString::fromStdString(native.ok() ? native.value.string() : request.initialName));
    }
    if (runModal(dialog) != QDialog::Accepted) {
        return {};
    }
    std::vector<std::string> chosen;
    for (const QString& file : dialog.selectedFiles()) {
        if (!request.save && (request.flags & OFN_CREATEPROMPT) && !QFileInfo::exists(file) &&
            !confirmCreate(&dialog, file)) {
            return {};
        }
        chosen.push_back(nativeToHost(std::filesystem::path(file.toStdString())));
    }
    return chosen;
}

}  // namespace platform
