#pragma once
// Qt for installer tests: a responder that answers message boxes and modal dialogs as a
// script says, clicks on controls found by ID, and screenshots saved under the build folder.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QWidget>
#include <QtTest/QTest>
#include <algorithm>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/modal.h"
#include "setup/resource_ids.h"
#include "support/qt_application.h"

namespace setuptest {

using testsupport::qtApplication;

class ScriptedResponder : public platform::ModalResponder {
  public:
    ScriptedResponder() { previous_ = platform::setModalResponder(this); }
    ~ScriptedResponder() override { platform::setModalResponder(previous_); }
    ScriptedResponder(const ScriptedResponder&) = delete;
    ScriptedResponder& operator=(const ScriptedResponder&) = delete;

    int messageBox(const platform::MessageBoxRequest& request) override {
        shown.push_back(request);
        if (answers.empty()) {
            return (request.type & platform::MB_TYPEMASK) == platform::MB_YESNO ? platform::IDNO
                                                                                : platform::IDOK;
        }
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    int dialog(QDialog& dialog) override {
        if (dialogs.empty()) {
            ADD_FAILURE() << "unexpected dialog " << dialog.windowTitle().toStdString();
            return QDialog::Rejected;
        }
        auto handler = std::move(dialogs.front());
        dialogs.pop_front();
        return handler(dialog);
    }

    std::vector<std::string> captions() const {
        std::vector<std::string> result;
        for (const auto& request : shown) {
            result.push_back(request.caption);
        }
        return result;
    }

    std::vector<platform::MessageBoxRequest> shown;
    std::deque<int> answers;  // for the next message boxes; otherwise No or OK
    std::deque<std::function<int(QDialog&)>> dialogs;

  private:
    platform::ModalResponder* previous_;
};

template <class Widget>
Widget* control(const QWidget& parent, int id) {
    auto* found = parent.findChild<Widget*>(setup::controlName(id));
    EXPECT_NE(found, nullptr) << "no control " << id;
    return found;
}

inline void click(QWidget* widget) {
    ASSERT_NE(widget, nullptr);
    ASSERT_TRUE(widget->isEnabled());
    // Near the left edge, where a radio button's indicator is, whatever the width of its text.
    QTest::mouseClick(widget, Qt::LeftButton, {},
                      QPoint(std::min(8, widget->width() / 2), widget->height() / 2));
}

// Saves what the widget shows as <build>/screenshots/<name>.png.
inline void screenshot(QWidget& widget, const char* name) {
    QDir().mkpath(SCREENSHOT_DIR);
    const QString file = QStringLiteral(SCREENSHOT_DIR "/%1.png").arg(QLatin1String(name));
    EXPECT_TRUE(widget.grab().save(file)) << file.toStdString();
}

}  // namespace setuptest
