#include "cadhost/ui/qt_application.h"

#include <QApplication>
#include <cstdlib>

namespace cadhost::ui {

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
    new QApplication(argc, argv);
    return true;
}

}  // namespace cadhost::ui
