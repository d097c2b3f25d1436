#pragma once
// Message boxes and modal dialogs, shaped as MessageBoxA and DoModal, behind one replaceable
// responder: the program shows Qt's own windows, tests install a responder that answers them.
// This header needs no Qt, so code that only builds messages can use its constants.

#include <string>
#include <vector>

#include "platform/file_dialog_request.h"

class QDialog;
class QWidget;

namespace platform {

using UINT = unsigned int;

inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_OKCANCEL = 0x1;
inline constexpr UINT MB_YESNO = 0x4;
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr UINT MB_TYPEMASK = 0xF;
inline constexpr UINT MB_ICONMASK = 0xF0;

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

struct MessageBoxRequest {
    std::string text;
    std::string caption;
    UINT type = MB_OK;
};

class ModalResponder {
  public:
    virtual ~ModalResponder() = default;
    // One of IDOK, IDCANCEL, IDYES, IDNO.
    virtual int messageBox(const MessageBoxRequest& request) = 0;
    // Works the dialog as a user would and returns its result (QDialog::Accepted/Rejected).
    virtual int dialog(QDialog& dialog) = 0;
    // Answers a file dialog with host paths; none means the user cancelled (the default).
    virtual std::vector<std::string> fileDialog(const FileDialogRequest& request);
};

// Installs a responder (null brings back Qt's windows) and returns the one it replaces.
ModalResponder* setModalResponder(ModalResponder* responder);
// The installed responder; null when Qt's windows are shown.
ModalResponder* modalResponder();

int MessageBoxA(QWidget* owner, const char* text, const char* caption, UINT type);
int runModal(QDialog& dialog);

}  // namespace platform
