// HoverButton: frames at rest, under the pointer and held; the pressed shift; which
// icon shows when; the disabled look; the hover rule; double-clicks; tooltips.

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QToolTip>

#include "controls_test_support.h"

namespace controlstest {
namespace {

class HoverButtonTest : public ControlsTest {
  protected:
    void SetUp() override {
        ControlsTest::SetUp();
        backdrop = makeBackdrop();
    }
    void TearDown() override {
        backdrop.reset();
        ControlsTest::TearDown();
    }

    HoverButton* addButton(ButtonKind kind, const QString& caption, QRect geometry,
                           bool transparent = true) {
        auto* button = new HoverButton(kind, caption, backdrop.get());
        button->setGeometry(geometry);
        if (transparent) {
            button->setTransparent();
        }
        return button;
    }

    std::unique_ptr<Backdrop> backdrop;
};

// --- frames ---------------------------------------------------------------------------------

TEST_F(HoverButtonTest, OneRaisedFrameAtRest) {
    HoverButton* button = addButton(ButtonKind::Push, "&Unload", {20, 20, 90, 26});
    show(*backdrop);
    const QImage image = shot(button);
    const int mid = 13;
    EXPECT_EQ(at(image, 0, mid), kWhite);      // left edge
    EXPECT_EQ(at(image, 45, 0), kWhite);       // top edge
    EXPECT_EQ(at(image, 89, mid), kDarkGrey);  // right edge
    EXPECT_EQ(at(image, 45, 25), kDarkGrey);   // bottom edge
    EXPECT_EQ(at(image, 89, 0), kDarkGrey);    // the right edge runs the full height
    EXPECT_NE(at(image, 1, mid), kWhite);      // one frame only: the background within
    EXPECT_NE(at(image, 88, mid), kDarkGrey);
    EXPECT_FALSE(button->isMouseOver());
}

TEST_F(HoverButtonTest, TwoNestedRaisedFramesUnderThePointer) {
    HoverButton* button = addButton(ButtonKind::Push, "&Unload", {20, 20, 90, 26});
    show(*backdrop);
    moveTo(button);
    ASSERT_TRUE(button->isMouseOver());
    const QImage image = shot(button);
    EXPECT_EQ(at(image, 0, 13), kWhite);
    EXPECT_EQ(at(image, 1, 13), kWhite);
    EXPECT_EQ(at(image, 45, 1), kWhite);
    EXPECT_EQ(at(image, 89, 13), kDarkGrey);
    EXPECT_EQ(at(image, 88, 13), kDarkGrey);
    EXPECT_EQ(at(image, 45, 24), kDarkGrey);
    EXPECT_NE(at(image, 2, 13), kWhite);

    moveTo(backdrop.get(), {5, 110});
    EXPECT_FALSE(button->isMouseOver());
    EXPECT_NE(at(shot(button), 1, 13), kWhite);
}

TEST_F(HoverButtonTest, OneSunkenFrameWhileHeld) {
    HoverButton* button = addButton(ButtonKind::Push, "&Unload", {20, 20, 90, 26});
    show(*backdrop);
    moveTo(button);
    press(button);
    ASSERT_TRUE(button->isDown());
    const QImage image = shot(button);
    EXPECT_EQ(at(image, 0, 13), kDarkGrey);
    EXPECT_EQ(at(image, 45, 0), kDarkGrey);
    EXPECT_EQ(at(image, 89, 13), kWhite);
    EXPECT_EQ(at(image, 45, 25), kWhite);
    EXPECT_NE(at(image, 1, 13), kDarkGrey);
    EXPECT_NE(at(image, 88, 13), kWhite);
    release(button);
}

TEST_F(HoverButtonTest, NoFrameWhenTheBorderIsOff) {
    HoverButton* button = addButton(ButtonKind::Push, "", {20, 20, 24, 24});
    button->setDrawBorder(false);
    ASSERT_EQ(button->setIcons(kHelp), 0);
    show(*backdrop);
    auto noFrame = [&](const char* state) {
        const QImage image = shot(button);
        for (const QPoint p : {QPoint(0, 12), QPoint(12, 0), QPoint(23, 12), QPoint(12, 23)}) {
            EXPECT_NE(at(image, p.x(), p.y()), kWhite) << state;
            EXPECT_NE(at(image, p.x(), p.y()), kDarkGrey) << state;
        }
    };
    noFrame("at rest");
    moveTo(button);
    noFrame("hovered");
    press(button);
    noFrame("held");
    release(button);
}

TEST_F(HoverButtonTest, OpaqueButtonFillsTheFaceColour) {
    HoverButton* button = addButton(ButtonKind::Push, "", {20, 20, 60, 24}, false);
    show(*backdrop);
    EXPECT_EQ(at(shot(button), 30, 12), button->palette().color(QPalette::Button));
}

// --- the pressed shift ----------------------------------------------------------------------

TEST_F(HoverButtonTest, TextAndIconMoveOnePixelRightAndDownWhileHeld) {
    HoverButton* button = addButton(ButtonKind::Push, "Help", {20, 20, 90, 28}, false);
    ASSERT_EQ(button->setIcons(kHelp), 0);
    show(*backdrop);
    moveTo(button);
    const QImage rest = shot(button);
    press(button);
    const QImage held = shot(button);
    release(button);

    const QRect inside(3, 3, 84, 22);
    const QRect iconAtRest = bounds(rest, inside, isDiscBlue);
    const QRect iconHeld = bounds(held, inside, isDiscBlue);
    const QRect textArea(3 + 16, 3, 90 - 19 - 3, 22);
    const QRect textAtRest = bounds(rest, textArea, isDark);
    const QRect textHeld = bounds(held, textArea, isDark);
    ASSERT_FALSE(iconAtRest.isNull());
    ASSERT_FALSE(textAtRest.isNull());
    const int step = static_cast<int>(rest.devicePixelRatio());
    EXPECT_EQ(iconHeld, iconAtRest.translated(step, step));
    EXPECT_EQ(textHeld, textAtRest.translated(step, step));
    // The icon lies 3 pixels from the left edge, centred vertically; the text after it.
    EXPECT_NEAR(iconAtRest.left(), 3 * step, step);  // its rim is half-covered
    EXPECT_NEAR(iconAtRest.center().y(), 14 * step, step);
    EXPECT_GT(textAtRest.left(), iconAtRest.right());
}

TEST_F(HoverButtonTest, CheckBoxesDoNotMoveWhenHeld) {
    HoverButton* box = addButton(ButtonKind::CheckBox, "Visretain", {20, 20, 90, 20}, false);
    ASSERT_EQ(box->setIcons(kTicked, kUnticked), 0);
    box->setDrawBorder(false);
    show(*backdrop);
    moveTo(box);
    const QImage rest = shot(box);
    press(box);
    const QImage held = shot(box);
    release(box);
    const QRect textArea(3 + 13, 0, 90 - 16, 20);
    EXPECT_EQ(bounds(held, textArea, isDark), bounds(rest, textArea, isDark));
}

TEST_F(HoverButtonTest, IconWithoutTitleIsCentred) {
    HoverButton* button = addButton(ButtonKind::Push, "", {20, 20, 24, 24});
    ASSERT_EQ(button->setIcons(kAbout), 0);
    button->setDrawBorder(false);
    show(*backdrop);
    const QImage image = shot(button);
    const QRect icon = bounds(image, button->rect(), isDiscBlue);
    const int step = static_cast<int>(image.devicePixelRatio());
    EXPECT_NEAR(icon.center().x(), 12 * step, step);
    EXPECT_NEAR(icon.center().y(), 12 * step, step);
}

// --- which icon -----------------------------------------------------------------------------

TEST_F(HoverButtonTest, CheckBoxShowsTheTickWhileTickedOrHeldAndNeverChangesOnHover) {
    HoverButton* box = addButton(ButtonKind::CheckBox, "Acad Path", {20, 20, 90, 20});
    ASSERT_EQ(box->setIcons(kTicked, kUnticked), 0);
    box->setDrawBorder(false);
    show(*backdrop);
    const QRect iconArea(0, 0, 20, 20);
    auto ticked = [&] { return !bounds(shot(box), iconArea, isTickBlue).isNull(); };

    EXPECT_FALSE(ticked()) << "not ticked, at rest";
    moveTo(box);
    EXPECT_FALSE(ticked()) << "not ticked, hovered";
    press(box);
    EXPECT_TRUE(ticked()) << "held";
    release(box);
    EXPECT_TRUE(box->getCheck());
    EXPECT_TRUE(ticked()) << "ticked, hovered";
    moveTo(backdrop.get(), {5, 110});
    EXPECT_TRUE(ticked()) << "ticked, at rest";
    box->setCheck(false);
    EXPECT_FALSE(ticked()) << "cleared";
}

TEST_F(HoverButtonTest, PushButtonShowsTheFirstIconWhenHoveredOrHeld) {
    HoverButton* button = addButton(ButtonKind::Push, "Pair", {20, 20, 90, 24});
    ASSERT_EQ(button->setIcons(kTicked, kUnticked), 0);
    show(*backdrop);
    const QRect iconArea(0, 0, 20, 24);
    auto first = [&] { return !bounds(shot(button), iconArea, isTickBlue).isNull(); };
    EXPECT_FALSE(first()) << "at rest: icon 2";
    moveTo(button);
    EXPECT_TRUE(first()) << "hovered: icon 1";
    press(button);
    EXPECT_TRUE(first()) << "held: icon 1";
    release(button);
}

TEST_F(HoverButtonTest, ASingleIconShowsInEveryState) {
    HoverButton* button = addButton(ButtonKind::Push, "", {20, 20, 24, 24});
    ASSERT_EQ(button->setIcons(kHelp), 0);
    button->setDrawBorder(false);
    show(*backdrop);
    auto shown = [&] { return !bounds(shot(button), button->rect(), isDiscBlue).isNull(); };
    EXPECT_TRUE(shown());
    moveTo(button);
    EXPECT_TRUE(shown());
    press(button);
    EXPECT_TRUE(shown());
    release(button);
}

TEST_F(HoverButtonTest, SetIconsReportsAMissingIconAndKeepsNeither) {
    HoverButton* button = addButton(ButtonKind::Push, "x", {20, 20, 60, 24});
    EXPECT_EQ(button->setIcons(kHelp, kAbout), 0);
    EXPECT_TRUE(button->hasIcons());
    EXPECT_EQ(button->setIcons(9999), 1);
    EXPECT_FALSE(button->hasIcons());
    EXPECT_EQ(button->setIcons(kTicked, 9999), 1);
    EXPECT_FALSE(button->hasIcons());
    EXPECT_EQ(button->setIcons(kBackground), 1) << "a bitmap is not an icon";

    // Without the module's handle on the resource stack the host's instance has no icons.
    acDocManagerPtr()->popResourceHandle();
    EXPECT_EQ(button->setIcons(kHelp), 1);
    acDocManagerPtr()->pushResourceHandle(instance());
}

// --- disabled -------------------------------------------------------------------------------

TEST_F(HoverButtonTest, DisabledTextIsWhiteThenDarkGreyOnePixelUpLeft) {
    HoverButton* button = addButton(ButtonKind::Push, "Detach", {20, 20, 90, 26}, false);
    button->setEnabled(false);
    show(*backdrop);
    const QImage image = shot(button);
    const QRect inside(2, 2, 86, 22);
    const QRect grey = bounds(image, inside, [](const QColor& c) { return c == kDarkGrey; });
    const QRect white = bounds(image, inside, [](const QColor& c) { return c == kWhite; });
    ASSERT_FALSE(grey.isNull());
    ASSERT_FALSE(white.isNull());
    const int step = static_cast<int>(image.devicePixelRatio());
    EXPECT_EQ(white.right(), grey.right() + step);
    EXPECT_EQ(white.bottom(), grey.bottom() + step);
    EXPECT_TRUE(bounds(image, inside, isDark).isNull()) << "no normal text";

    button->setEnabled(true);
    const QImage enabled = shot(button);
    EXPECT_FALSE(bounds(enabled, inside, isDark).isNull());
    EXPECT_TRUE(bounds(enabled, inside, [](const QColor& c) { return c == kWhite; }).isNull());
}

TEST_F(HoverButtonTest, DisabledIconIsGreyed) {
    HoverButton* button = addButton(ButtonKind::Push, "", {20, 20, 24, 24});
    ASSERT_EQ(button->setIcons(kAbout), 0);
    button->setDrawBorder(false);
    button->setEnabled(false);
    show(*backdrop);
    EXPECT_TRUE(bounds(shot(button), button->rect(), isDiscBlue).isNull());
    button->setEnabled(true);
    EXPECT_FALSE(bounds(shot(button), button->rect(), isDiscBlue).isNull());
}

// --- hover rule -----------------------------------------------------------------------------

TEST_F(HoverButtonTest, NoHoverWhileTheLeftButtonIsHeldDownElsewhere) {
    HoverButton* button = addButton(ButtonKind::Push, "&Add...", {20, 20, 90, 26});
    HoverButton* other = addButton(ButtonKind::Push, "Re&move", {130, 20, 90, 26});
    show(*backdrop);
    QSignalSpy clicks(button, &QAbstractButton::clicked);

    press(other);
    moveTo(button);
    moveTo(button, {30, 10});
    EXPECT_FALSE(button->isMouseOver());
    EXPECT_NE(at(shot(button), 1, 13), kWhite) << "one frame only";
    release(button);
    EXPECT_EQ(clicks.count(), 0);

    // Pressed on the dialog's own surface, the same.
    press(backdrop.get(), {5, 110});
    moveTo(button);
    EXPECT_FALSE(button->isMouseOver());
    release(button);

    // With the button up, moving over it starts hover.
    moveTo(button, {40, 12});
    EXPECT_TRUE(button->isMouseOver());
}

TEST_F(HoverButtonTest, HoverEndsOnLeaveFocusLossDeactivationAndDisable) {
    HoverButton* button = addButton(ButtonKind::Push, "&Reload", {20, 20, 90, 26});
    HoverButton* other = addButton(ButtonKind::Push, "O&verlay", {130, 20, 90, 26});
    show(*backdrop);

    moveTo(button);
    ASSERT_TRUE(button->isMouseOver());
    moveTo(backdrop.get(), {5, 110});
    EXPECT_FALSE(button->isMouseOver()) << "leave";

    moveTo(button);
    ASSERT_TRUE(button->isMouseOver());
    button->setFocus();
    other->setFocus();
    EXPECT_FALSE(button->isMouseOver()) << "focus lost";

    moveTo(button, {30, 12});
    moveTo(button, {40, 12});
    ASSERT_TRUE(button->isMouseOver());
    button->setEnabled(false);
    EXPECT_FALSE(button->isMouseOver()) << "disabled";
    button->setEnabled(true);

    moveTo(button, {30, 12});
    ASSERT_TRUE(button->isMouseOver());
    QWidget elsewhere;
    elsewhere.setGeometry(400, 400, 50, 50);
    show(elsewhere);
    EXPECT_FALSE(backdrop->isActiveWindow());
    EXPECT_FALSE(button->isMouseOver()) << "window deactivated";
}

TEST_F(HoverButtonTest, KeepsHoverWhileItIsHeldItself) {
    HoverButton* button = addButton(ButtonKind::Push, "&Reload", {20, 20, 90, 26});
    show(*backdrop);
    moveTo(button);
    press(button);
    moveTo(button, {30, 10});
    EXPECT_TRUE(button->isMouseOver());
    moveTo(backdrop.get(), {5, 110});
    EXPECT_FALSE(button->isMouseOver()) << "dragged off";
    EXPECT_FALSE(button->isDown());
    release(backdrop.get(), {5, 110});
}

// --- clicks ---------------------------------------------------------------------------------

TEST_F(HoverButtonTest, ADoubleClickCountsAsTwoClicks) {
    HoverButton* button = addButton(ButtonKind::Push, "&Detach", {20, 20, 90, 26});
    HoverButton* box = addButton(ButtonKind::CheckBox, "Visretain", {20, 60, 90, 20});
    show(*backdrop);
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    QTest::mouseDClick(windowOf(button), Qt::LeftButton, {}, inWindow(button, {40, 12}));
    EXPECT_EQ(clicks.count(), 2);

    QSignalSpy boxClicks(box, &QAbstractButton::clicked);
    QTest::mouseDClick(windowOf(box), Qt::LeftButton, {}, inWindow(box, {40, 10}));
    EXPECT_EQ(boxClicks.count(), 2);
    EXPECT_FALSE(box->getCheck()) << "ticked, then cleared";
}

TEST_F(HoverButtonTest, ACheckBoxTogglesThenTheClickGoesOn) {
    HoverButton* box = addButton(ButtonKind::CheckBox, "Visretain", {20, 60, 90, 20});
    show(*backdrop);
    bool tickWhenClicked = false;
    QObject::connect(box, &QAbstractButton::clicked, [&] { tickWhenClicked = box->getCheck(); });
    QTest::mouseClick(windowOf(box), Qt::LeftButton, {}, inWindow(box, {40, 10}));
    EXPECT_TRUE(box->getCheck());
    EXPECT_TRUE(tickWhenClicked);
}

TEST_F(HoverButtonTest, SetCheckIsForCheckBoxesOnly) {
    HoverButton* button = addButton(ButtonKind::Push, "Ok", {20, 20, 60, 24});
    button->setCheck(true);
    EXPECT_FALSE(button->getCheck());
    EXPECT_FALSE(button->isCheckable());
    HoverButton* box = addButton(ButtonKind::CheckBox, "Acad Path", {20, 60, 90, 20});
    box->setCheck(true);
    EXPECT_TRUE(box->getCheck());
    box->setCheck(false, false);
    EXPECT_FALSE(box->getCheck());
}

// --- tooltips -------------------------------------------------------------------------------

QLabel* shownTooltip() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QTipLabel") && widget->isVisible()) {
            return qobject_cast<QLabel*>(widget);
        }
    }
    return nullptr;
}

QLabel* showTooltipOf(QWidget* widget) {
    QToolTip::hideText();
    QTest::qWait(1);
    const QPoint local(widget->width() / 2, widget->height() / 2);
    QHelpEvent help(QEvent::ToolTip, local, widget->mapToGlobal(local));
    QApplication::sendEvent(widget, &help);
    return shownTooltip();
}

TEST_F(HoverButtonTest, AMultiLineTooltipShowsSeveralLinesAtMost400PixelsWide) {
    HoverButton* box = addButton(ButtonKind::CheckBox, "Acad Path", {20, 60, 90, 20});
    const QString text =
        "Uncheck: xref paths are hardcoded.\nChecked: xrefs are searched for and load from "
        "AutoCAD's\nSupport File Search Path";
    box->setTooltipText(text);
    show(*backdrop);
    QLabel* tip = showTooltipOf(box);
    ASSERT_NE(tip, nullptr);
    const QFontMetrics metrics(tip->font());
    EXPECT_LE(tip->width(), HoverButton::kTooltipMaxWidth);
    // Three lines, as given: each line of the text on a line of its own, none wrapped.
    EXPECT_GE(tip->height(), 3 * metrics.lineSpacing());
    EXPECT_LT(tip->height(), 4 * metrics.lineSpacing() + 12);
    EXPECT_GE(tip->width(), metrics.horizontalAdvance("Checked: xrefs are searched for and load "
                                                      "from AutoCAD's"));
    EXPECT_TRUE(tip->text().contains("Uncheck: xref paths are hardcoded.<br>Checked:"));
    QToolTip::hideText();
}

TEST_F(HoverButtonTest, ALongTooltipLineWrapsWithin400Pixels) {
    HoverButton* button = addButton(ButtonKind::Push, "&Add...", {20, 20, 90, 26});
    QString text;
    for (int i = 0; i < 12; ++i) {
        text += "Adds drawing files to the list ";
    }
    button->setTooltipText(text);
    show(*backdrop);
    QLabel* tip = showTooltipOf(button);
    ASSERT_NE(tip, nullptr);
    EXPECT_LE(tip->width(), HoverButton::kTooltipMaxWidth);
    EXPECT_GE(tip->width(), HoverButton::kTooltipMaxWidth - 40);
    EXPECT_GE(tip->height(), 4 * QFontMetrics(tip->font()).lineSpacing());
    QToolTip::hideText();
}

TEST_F(HoverButtonTest, AShortTooltipStaysNarrowAndHtmlIsShownAsText) {
    HoverButton* button = addButton(ButtonKind::Push, "", {20, 20, 24, 24});
    button->setTooltipText("Help <b>me</b> & you");
    show(*backdrop);
    QLabel* tip = showTooltipOf(button);
    ASSERT_NE(tip, nullptr);
    EXPECT_LT(tip->height(), 2 * QFontMetrics(tip->font()).lineSpacing() + 8);
    EXPECT_LT(tip->width(), 200);
    EXPECT_TRUE(tip->text().contains("Help &lt;b&gt;me&lt;/b&gt; &amp; you"));
    QToolTip::hideText();
}

TEST_F(HoverButtonTest, AnInactiveTooltipIsNotShown) {
    HoverButton* button = addButton(ButtonKind::Push, "&Add...", {20, 20, 90, 26});
    button->setTooltipText("Adds drawing files to the list of xrefs", false);
    show(*backdrop);
    EXPECT_EQ(showTooltipOf(button), nullptr);
    EXPECT_FALSE(button->isTooltipActive());
    button->setTooltipText("Adds drawing files to the list of xrefs", true);
    EXPECT_NE(showTooltipOf(button), nullptr);
    button->setTooltipText("");  // no text: nothing changes
    EXPECT_EQ(button->tooltipText(), "Adds drawing files to the list of xrefs");
    QToolTip::hideText();
}

}  // namespace
}  // namespace controlstest
