#include "platform/ui/modal.h"

#include <QDialog>
#include <QMessageBox>

namespace platform {

namespace {

ModalResponder* currentResponder = nullptr;

QMessageBox::Icon iconOf(UINT type) {
    switch (type & MB_ICONMASK) {
        case MB_ICONERROR:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

int showQtMessageBox(QWidget* owner, const MessageBoxRequest& request) {
    QMessageBox box(iconOf(request.type), QString::fromLocal8Bit(request.caption),
                    QString::fromLocal8Bit(request.text), QMessageBox::NoButton, owner);
    switch (request.type & MB_TYPEMASK) {
        case MB_YESNO:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            return box.exec() == QMessageBox::Yes ? IDYES : IDNO;
        case MB_OKCANCEL:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            return box.exec() == QMessageBox::Ok ? IDOK : IDCANCEL;
        default:
            box.setStandardButtons(QMessageBox::Ok);
            box.exec();
            return IDOK;
    }
}

}  // namespace

std::vector<std::string> ModalResponder::fileDialog(const FileDialogRequest&) {
    return {};
}

ModalResponder* modalResponder() {
    return currentResponder;
}

ModalResponder* setModalResponder(ModalResponder* responder) {
    ModalResponder* previous = currentResponder;
    currentResponder = responder;
    return previous;
}

int MessageBoxA(QWidget* owner, const char* text, const char* caption, UINT type) {
    const MessageBoxRequest request{text ? text : "", caption ? caption : "Error", type};
    return currentResponder ? currentResponder->messageBox(request)
                            : showQtMessageBox(owner, request);
}

int runModal(QDialog& dialog) {
    return currentResponder ? currentResponder->dialog(dialog) : dialog.exec();
}

}  // namespace platform
