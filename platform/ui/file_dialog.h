#pragma once
// The system's file-open and file-save dialogs (Qt's file dialog), answered by the installed
// modal responder when there is one (tests).

#include <string>
#include <vector>

#include "platform/file_dialog_request.h"

class QWidget;

namespace platform {

// Shows the dialog the request describes; the chosen files' host paths, none when cancelled.
std::vector<std::string> runFileDialog(QWidget* owner, const FileDialogRequest& request);

}  // namespace platform
