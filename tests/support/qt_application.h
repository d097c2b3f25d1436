#pragma once
// One Qt application for a test program, on the offscreen platform unless told otherwise.

#include <QApplication>

namespace testsupport {

inline QApplication& qtApplication() {
    static int argc = 1;
    static char name[] = "lnkhold_tests";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Never destroyed: Qt's own objects must outlive every static of the test program.
    static auto* application = new QApplication(argc, argv);
    return *application;
}

}  // namespace testsupport
