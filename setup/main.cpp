#include <QApplication>

#include "setup/setup_app.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    setup::CSetupApp().run();
    return 0;
}
