#include "cadhost/ui/qt_application.h"

#include <QApplication>
#include <QEvent>
#include <cstdlib>

#include "cadhost/xref/host_search.h"

namespace cadhost::ui {

namespace {

// A key or a click in any window of the host (a module's dialog too) may follow a change the
// user made to files meanwhile: the file searches after it read anew.
class UserActions : public QObject {
  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::Drop:
                xref::FindFilePass::userActed();
                break;
            default:
                break;
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

bool hasDisplay() {
    for (const char* variable : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(variable);
        if (value && *value) {
            return true;
        }
    }
    return false;
}

bool ensureQtApplication() {
    if (QApplication::instance()) {
        return true;
    }
    if (!hasDisplay()) {
        return false;
    }
    static int argc = 1;
    static char name[] = "cadhost";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's objects must outlive every static of the process.
    auto* application = new QApplication(argc, argv);
    application->installEventFilter(new UserActions);
    return true;
}

}  // namespace cadhost::ui
