#pragma once
// A host session for the plug-in module itself: the fixture drawings of the core's tests, the
// host's command line, and the built module Linkhold16.arx loaded through the host's linker.
// Dialogs are worked by the test through a modal responder instead of a user.

#include <QAbstractButton>
#include <QDialog>
#include <QTableView>
#include <functional>
#include <memory>

#include "cadhost/host_console.h"
#include "platform/ui/modal.h"
#include "plugin_test_support.h"

namespace plugintest {

class DialogDriver : public platform::ModalResponder {
  public:
    // Works the dialog that is shown (the main one, and any opened from it).
    std::function<void(QDialog&)> onDialog;
    std::vector<platform::MessageBoxRequest> messages;
    std::vector<platform::FileDialogRequest> fileRequests;
    std::vector<std::vector<std::string>> fileAnswers;  // one per file dialog, in turn

    int messageBox(const platform::MessageBoxRequest& request) override {
        messages.push_back(request);
        return platform::IDOK;
    }
    int dialog(QDialog& dialog) override {
        dialog.setResult(QDialog::Rejected);
        const auto action = onDialog;  // a nested dialog may replace it
        if (action) {
            action(dialog);
        }
        return dialog.result();
    }
    std::vector<std::string> fileDialog(const platform::FileDialogRequest& request) override {
        fileRequests.push_back(request);
        if (fileAnswers.empty()) {
            return {};
        }
        std::vector<std::string> answer = fileAnswers.front();
        fileAnswers.erase(fileAnswers.begin());
        return answer;
    }
};

class ModuleSession : public HostFixture {
  protected:
    void SetUp() override;
    void TearDown() override;

    static std::string modulePath();
    bool loadModule() { return acrxDynamicLinker->loadModule(modulePath().c_str(), true); }
    int run(const std::string& script) { return console_->run(script); }
    std::string output() { return console_->output(); }

    // Runs LKH on the current drawing; `work` gets the dialog. The command's exit code.
    int runDialog(const std::function<void(QDialog&)>& work);

    DialogDriver driver;

  private:
    std::unique_ptr<apptest::HostConsole> console_;
    platform::ModalResponder* previous_ = nullptr;
};

// The dialog's control with that number.
template <class Widget = QAbstractButton>
Widget* control(const QWidget& dialog, int id) {
    auto* found = dialog.findChild<Widget*>(QStringLiteral("IDC_%1").arg(id));
    if (!found) {
        throw std::runtime_error("no control " + std::to_string(id));
    }
    return found;
}

QTableView& xrefList(const QWidget& dialog);
// The text of the list's cell.
std::string cell(const QWidget& dialog, int row, int column);
// The list position of the row with that name; -1 when none.
int positionOf(const QWidget& dialog, const std::string& name);
// Selects exactly these rows of the list.
void selectRows(const QWidget& dialog, std::initializer_list<const char*> names);
// Whether the drawing holds the module's marker block.
bool hasMarker(AcDbDatabase* database);
// Saves the drawing and returns its bytes, without the time stamp of the save.
std::string savedBytes(AcDbDatabase& drawing);
// Every xref of the current drawing's graph: status, loaded drawing, the xrefs it inserts.
std::string xrefState();

// After the walk through every operation (Add alpha and beta, Attach both, Detach alpha,
// Unload and Reload trees, Strip Path of abs, Insert of lib, Save LKH as walk.lkh, Load LKH of
// more.lkh, OK): the set file it saved, and the drawing saved as walked.dxf read by ezdxf.
void expectTheWalkKept(AcDbDatabase& drawing, const std::filesystem::path& folder);

// Saves a picture of the widget under the build's screenshots folder.
void saveScreenshot(QWidget& widget, const std::string& name);

}  // namespace plugintest
