// Keyboard use of a dialog built from the kit, as in a Windows dialog: a mnemonic used by one
// control presses it; one shared by several moves the focus between them and Space presses the
// focused one; Enter presses the default button.

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>

#include "controls_test_support.h"

namespace controlstest {
namespace {

class MnemonicsTest : public ControlsTest {
  protected:
    void SetUp() override {
        ControlsTest::SetUp();
        backdrop = makeBackdrop(300, 200);
        auto make = [&](ButtonKind kind, const char* caption, int x, int y) {
            auto* button = new HoverButton(kind, caption, backdrop.get());
            button->setGeometry(x, y, 80, 24);
            button->setTransparent();
            return button;
        };
        // Template order, so also tab order.
        edit = new QLineEdit(backdrop.get());
        edit->setGeometry(10, 160, 120, 22);
        add = make(ButtonKind::Push, "&Add...", 150, 10);
        remove = make(ButtonKind::Push, "Re&move", 240, 10);
        detach = make(ButtonKind::Push, "&Detach", 150, 40);
        attach = make(ButtonKind::Push, "A&ttach", 150, 70);
        strip = make(ButtonKind::Push, "S&trip Path", 240, 70);
        selectAll = make(ButtonKind::Push, "Select &All", 150, 100);
        acadPath = make(ButtonKind::CheckBox, "Acad &Path", 10, 10);
        cancel = make(ButtonKind::Push, "Cancel", 150, 160);
        ok = make(ButtonKind::DefaultPush, "Ok", 240, 160);
        QObject::connect(ok, &QAbstractButton::clicked, backdrop.get(), &QDialog::accept);
        QObject::connect(cancel, &QAbstractButton::clicked, backdrop.get(), &QDialog::reject);
        show(*backdrop);
        edit->setFocus(Qt::OtherFocusReason);
    }
    void TearDown() override {
        backdrop.reset();
        ControlsTest::TearDown();
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        // To the focused control, as the keyboard sends it.
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : backdrop.get(), key, modifiers);
    }

    std::unique_ptr<Backdrop> backdrop;
    QLineEdit* edit = nullptr;
    HoverButton *add = nullptr, *remove = nullptr, *detach = nullptr, *attach = nullptr,
                *strip = nullptr, *selectAll = nullptr, *acadPath = nullptr, *cancel = nullptr,
                *ok = nullptr;
};

TEST_F(MnemonicsTest, AMnemonicOfOneControlPressesIt) {
    QSignalSpy detached(detach, &QAbstractButton::clicked);
    QSignalSpy removed(remove, &QAbstractButton::clicked);
    key(Qt::Key_D, Qt::AltModifier);
    QTRY_COMPARE(detached.count(), 1);
    key(Qt::Key_M, Qt::AltModifier);
    QTRY_COMPARE(removed.count(), 1);
    EXPECT_EQ(detached.count(), 1);
}

TEST_F(MnemonicsTest, AMnemonicTogglesACheckBox) {
    QSignalSpy clicked(acadPath, &QAbstractButton::clicked);
    key(Qt::Key_P, Qt::AltModifier);
    QTRY_COMPARE(clicked.count(), 1);
    EXPECT_TRUE(acadPath->getCheck());
}

TEST_F(MnemonicsTest, ASharedMnemonicMovesTheFocusBetweenItsControls) {
    QSignalSpy added(add, &QAbstractButton::clicked);
    QSignalSpy selected(selectAll, &QAbstractButton::clicked);
    key(Qt::Key_A, Qt::AltModifier);
    EXPECT_TRUE(add->hasFocus()) << "the first after the focus, in tab order";
    key(Qt::Key_A, Qt::AltModifier);
    EXPECT_TRUE(selectAll->hasFocus());
    key(Qt::Key_A, Qt::AltModifier);
    EXPECT_TRUE(add->hasFocus()) << "round again";
    QTest::qWait(150);
    EXPECT_EQ(added.count(), 0);
    EXPECT_EQ(selected.count(), 0);

    key(Qt::Key_Space);
    EXPECT_EQ(added.count(), 1) << "Space presses the focused one";
    EXPECT_EQ(selected.count(), 0);
}

TEST_F(MnemonicsTest, AttachAndStripPathShareT) {
    QSignalSpy attached(attach, &QAbstractButton::clicked);
    QSignalSpy stripped(strip, &QAbstractButton::clicked);
    key(Qt::Key_T, Qt::AltModifier);
    EXPECT_TRUE(attach->hasFocus());
    key(Qt::Key_T, Qt::AltModifier);
    EXPECT_TRUE(strip->hasFocus());
    key(Qt::Key_Space);
    EXPECT_EQ(stripped.count(), 1);
    EXPECT_EQ(attached.count(), 0);
    // From a focused control after both, the search wraps to the first.
    ok->setFocus(Qt::TabFocusReason);
    key(Qt::Key_T, Qt::AltModifier);
    EXPECT_TRUE(attach->hasFocus());
}

TEST_F(MnemonicsTest, DisabledControlsAreSkipped) {
    selectAll->setEnabled(false);
    QSignalSpy added(add, &QAbstractButton::clicked);
    key(Qt::Key_A, Qt::AltModifier);
    QTRY_COMPARE(added.count(), 1);  // the only enabled one: pressed
}

TEST_F(MnemonicsTest, EnterPressesTheDefaultButton) {
    QSignalSpy accepted(ok, &QAbstractButton::clicked);
    edit->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Return);
    EXPECT_EQ(accepted.count(), 1);
    EXPECT_EQ(backdrop->result(), QDialog::Accepted);

    show(*backdrop);
    acadPath->setFocus(Qt::TabFocusReason);
    key(Qt::Key_Return);
    EXPECT_EQ(accepted.count(), 2) << "a check box is never the default";
    EXPECT_FALSE(acadPath->getCheck());
    EXPECT_TRUE(ok->isDefault());
}

TEST_F(MnemonicsTest, KeyboardFocusIsShown) {
    detach->setFocus(Qt::MouseFocusReason);
    const QImage before = shot(detach);
    EXPECT_FALSE(backdrop->testAttribute(Qt::WA_KeyboardFocusChange)) << "no cue before";
    remove->setFocus(Qt::MouseFocusReason);
    key(Qt::Key_Tab);
    ASSERT_TRUE(detach->hasFocus());
    const QImage after = shot(detach);
    // A dotted focus rectangle inside the border.
    int dots = 0;
    for (int x = 4; x < 76; ++x) {
        if (isDark(at(after, x, 3)) && !isDark(at(before, x, 3))) {
            ++dots;
        }
    }
    EXPECT_GT(dots, 20);
    EXPECT_LT(dots, 60) << "dotted, not solid";
}

}  // namespace
}  // namespace controlstest
