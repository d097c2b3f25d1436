#include <gtest/gtest.h>

#include <QDialog>
#include <QFontMetrics>
#include <QPushButton>
#include <QTimer>

#include "platform/ui/dialog_units.h"
#include "platform/ui/modal.h"
#include "support/qt_application.h"

using namespace platform;

namespace {

class Answering : public ModalResponder {
  public:
    int messageBox(const MessageBoxRequest& request) override {
        last = request;
        return IDNO;
    }
    int dialog(QDialog& dialog) override {
        dialog.setWindowTitle("seen");
        return QDialog::Accepted;
    }
    MessageBoxRequest last;
};

TEST(ModalResponderTest, AnswersInsteadOfTheUserAndCanBeRemoved) {
    testsupport::qtApplication();
    Answering answering;
    ModalResponder* previous = setModalResponder(&answering);
    EXPECT_EQ(previous, nullptr);
    EXPECT_EQ(MessageBoxA(nullptr, "Text", "Caption", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(answering.last.text, "Text");
    EXPECT_EQ(answering.last.caption, "Caption");
    EXPECT_EQ(answering.last.type, MB_YESNO | MB_ICONQUESTION);
    MessageBoxA(nullptr, nullptr, nullptr, MB_OK);
    EXPECT_EQ(answering.last.text, "");
    EXPECT_EQ(answering.last.caption, "Error");  // as Windows titles a box without caption
    QDialog dialog;
    EXPECT_EQ(runModal(dialog), QDialog::Accepted);
    EXPECT_EQ(dialog.windowTitle(), "seen");
    EXPECT_EQ(setModalResponder(nullptr), &answering);

    // Without a responder the real message box shows; the user presses its Yes button.
    QTimer::singleShot(0, [] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            for (auto* button : window->findChildren<QPushButton*>()) {
                if (window->isVisible() && button->text().contains("Yes")) {
                    button->click();
                }
            }
        }
    });
    EXPECT_EQ(MessageBoxA(nullptr, "Question?", "Real", MB_YESNO), IDYES);
}

TEST(DialogUnitsTest, QuarterCharacterWidthAndEighthOfTheHeight) {
    testsupport::qtApplication();
    const QFont font = dialogFont();
    const DialogUnits du(font);
    const QFontMetrics metrics(font);
    EXPECT_EQ(du.baseY(), metrics.height());
    EXPECT_GT(du.baseX(), 0);
    EXPECT_EQ(du.toPixels(4, 8, 40, 16),
              QRect(du.baseX(), du.baseY(), 10 * du.baseX(), 2 * du.baseY()));
    // Rounded, not truncated: 2 units are half a character.
    EXPECT_EQ(du.toPixels(2, 0).width(), (du.baseX() + 1) / 2);
    QDialog dialog;
    auto* button = new QPushButton(&dialog);
    du.place(button, 8, 4, 50, 14);
    EXPECT_EQ(button->geometry(), du.toPixels(8, 4, 50, 14));
}

}  // namespace
