// Screenshots of the kit over the tiled background 202, saved as <build>/screenshots/kit_*.png
// (with "@2x" when run at 200 %, QT_SCALE_FACTOR=2): the right-hand column and bottom row of
// the main dialog laid out from its template, and single controls in each state.

#include <QComboBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolTip>
#include <QTreeWidget>

#include "controls_test_support.h"

namespace controlstest {
namespace {

class ScreenshotsTest : public ControlsTest {
  protected:
    void SetUp() override {
        ControlsTest::SetUp();
        units = std::make_unique<platform::DialogUnits>(platform::dialogFont());
    }
    HoverButton* button(QWidget* parent, ButtonKind kind, const char* caption, int x, int y, int w,
                        int h) {
        auto* b = new HoverButton(kind, caption, parent);
        units->place(b, x, y, w, h);
        b->setTransparent();
        return b;
    }
    QPixmap around(QWidget* backdrop, QWidget* control, int margin = 6) {
        return backdrop->grab(control->geometry().adjusted(-margin, -margin, margin, margin));
    }
    std::unique_ptr<platform::DialogUnits> units;
};

TEST_F(ScreenshotsTest, MainDialogControls) {
    auto dialog = makeBackdrop();
    dialog->setWindowTitle("Linkhold, Version 1.4");
    dialog->resize(units->toPixels(450, 290));

    auto* list = new QTreeWidget(dialog.get());
    units->place(list, 7, 7, 315, 250);
    list->setRootIsDecorated(false);
    list->setHeaderLabels({"Xref Name", "Status", "Path", "Date modified", "Size", "Current"});
    const char* rows[][6] = {
        {"Site-Plan", "Attached", "C:\\Projects\\Site-Plan.dwg", "03/14/2005 09:12", "412 KB",
         "Yes"},
        {"Grid", "Unloaded", "..\\Common\\Grid.dwg", "01/07/2005 16:40", "88 KB", "Yes"},
        {"Title-A1", "Detached", "C:\\Standards\\Title-A1.dwg", "11/30/2004 11:05", "57 KB", ""},
    };
    for (const auto& row : rows) {
        new QTreeWidgetItem(list, QStringList{row[0], row[1], row[2], row[3], row[4], row[5]});
    }
    for (int column = 0; column < 6; ++column) {
        list->resizeColumnToContents(column);
    }

    // Template order, group boxes last (they lower themselves).
    button(dialog.get(), ButtonKind::Push, "&Add...", 332, 18, 50, 14)->setDrawBorder(true);
    button(dialog.get(), ButtonKind::Push, "Re&move", 387, 18, 50, 14)->setEnabled(false);
    button(dialog.get(), ButtonKind::Push, "&Unload", 332, 36, 50, 14);
    button(dialog.get(), ButtonKind::Push, "&Reload", 387, 36, 50, 14);
    button(dialog.get(), ButtonKind::Push, "&Detach", 332, 54, 50, 14);
    button(dialog.get(), ButtonKind::Push, "Re&Path...", 387, 54, 50, 14);
    button(dialog.get(), ButtonKind::Push, "A&ttach", 332, 72, 50, 14)->setEnabled(false);
    button(dialog.get(), ButtonKind::Push, "O&verlay", 387, 72, 50, 14)->setEnabled(false);
    button(dialog.get(), ButtonKind::Push, "S&trip Path", 387, 90, 50, 14);
    button(dialog.get(), ButtonKind::Push, "Select &All", 332, 108, 50, 14);
    button(dialog.get(), ButtonKind::Push, "&Clear All", 387, 108, 50, 14);
    button(dialog.get(), ButtonKind::Push, "&Open Dwg...", 332, 146, 50, 14);
    button(dialog.get(), ButtonKind::Push, "&Insert", 386, 146, 50, 14);
    button(dialog.get(), ButtonKind::Push, "&Save LKH...", 332, 163, 50, 14);
    button(dialog.get(), ButtonKind::Push, "&Load LKH...", 386, 163, 50, 14);
    for (auto [caption, x, y, w, h, on] : {std::tuple{"Visretain", 332, 194, 42, 12, true},
                                           {"Acad Path", 384, 194, 47, 12, true},
                                           {"Automatically Attach", 332, 207, 80, 10, false}}) {
        HoverButton* box = button(dialog.get(), ButtonKind::CheckBox, caption, x, y, w, h);
        ASSERT_EQ(box->setIcons(kTicked, kUnticked), 0);
        box->setDrawBorder(false);
        box->setCheck(on);
    }
    auto* combo = new QComboBox(dialog.get());
    units->place(combo, 333, 237, 104, 12);
    combo->addItems({"0_<xrefname>", "0", "Current layer"});
    auto* status = new QLineEdit(dialog.get());
    units->place(status, 7, 269, 275, 14);
    status->setReadOnly(true);
    status->setText("Site-Plan: Attached  C:\\Projects\\Site-Plan.dwg");
    HoverButton* about = button(dialog.get(), ButtonKind::Push, "", 288, 267, 16, 16);
    ASSERT_EQ(about->setIcons(kAbout), 0);
    about->setDrawBorder(false);
    HoverButton* help = button(dialog.get(), ButtonKind::Push, "", 307, 267, 16, 16);
    ASSERT_EQ(help->setIcons(kHelp), 0);
    help->setDrawBorder(false);
    button(dialog.get(), ButtonKind::Push, "Cancel", 332, 269, 50, 14);
    button(dialog.get(), ButtonKind::DefaultPush, "Ok", 386, 269, 50, 14);
    for (auto [title, x, y, w, h] : {std::tuple{"Actions", 327, 7, 116, 121},
                                     {"Utilities", 327, 134, 116, 48},
                                     {"Options", 327, 184, 116, 39},
                                     {"Insertion Layer", 327, 225, 116, 32}}) {
        auto* box = new EtchedGroupBox(title, dialog.get());
        units->place(box, x, y, w, h);
    }
    show(*dialog);
    screenshot(*dialog, "kit_dialog");
    screenshot(dialog->grab(units->toPixels(322, 0, 128, 290)), "kit_dialog_column");
}

TEST_F(ScreenshotsTest, PushButtonStates) {
    auto backdrop = makeBackdrop(160, 60);
    auto* b = new HoverButton(ButtonKind::Push, "&Unload", backdrop.get());
    units->place(b, 12, 8, 50, 14);
    b->setTransparent();
    b->setTooltipText("Unloads selected xrefs");
    show(*backdrop);
    screenshot(around(backdrop.get(), b), "kit_push_rest");
    moveTo(b);
    ASSERT_TRUE(b->isMouseOver());
    screenshot(around(backdrop.get(), b), "kit_push_hover");
    press(b);
    screenshot(around(backdrop.get(), b), "kit_push_pressed");
    release(b);
    moveTo(backdrop.get(), {2, 2});
    b->setEnabled(false);
    screenshot(around(backdrop.get(), b), "kit_push_disabled");
    b->setEnabled(true);
    backdrop->setAttribute(Qt::WA_KeyboardFocusChange);  // as after a Tab
    b->setFocus(Qt::TabFocusReason);
    screenshot(around(backdrop.get(), b), "kit_push_focus");
}

TEST_F(ScreenshotsTest, CheckBoxes) {
    auto backdrop = makeBackdrop(220, 60);
    auto* on = new HoverButton(ButtonKind::CheckBox, "Visretain", backdrop.get());
    units->place(on, 8, 6, 42, 12);
    auto* off = new HoverButton(ButtonKind::CheckBox, "Automatically Attach", backdrop.get());
    units->place(off, 8, 20, 80, 10);
    for (HoverButton* box : {on, off}) {
        box->setTransparent();
        ASSERT_EQ(box->setIcons(kTicked, kUnticked), 0);
        box->setDrawBorder(false);
    }
    on->setCheck(true);
    show(*backdrop);
    screenshot(around(backdrop.get(), on), "kit_check_ticked");
    screenshot(around(backdrop.get(), off), "kit_check_unticked");
    backdrop->setAttribute(Qt::WA_KeyboardFocusChange);
    off->setFocus(Qt::TabFocusReason);
    screenshot(around(backdrop.get(), off), "kit_check_focus");
}

TEST_F(ScreenshotsTest, HelpAndAboutButtons) {
    auto backdrop = makeBackdrop(80, 40);
    auto* about = new HoverButton(ButtonKind::Push, "", backdrop.get());
    units->place(about, 4, 4, 16, 16);
    auto* help = new HoverButton(ButtonKind::Push, "", backdrop.get());
    units->place(help, 23, 4, 16, 16);
    ASSERT_EQ(about->setIcons(kAbout), 0);
    ASSERT_EQ(help->setIcons(kHelp), 0);
    for (HoverButton* b : {about, help}) {
        b->setTransparent();
        b->setDrawBorder(false);
    }
    show(*backdrop);
    screenshot(backdrop->grab(about->geometry().united(help->geometry()).adjusted(-6, -6, 6, 6)),
               "kit_help_about");
}

TEST_F(ScreenshotsTest, GroupBox) {
    auto backdrop = makeBackdrop(220, 120);
    auto* box = new EtchedGroupBox("Options", backdrop.get());
    units->place(box, 4, 4, 116, 39);
    show(*backdrop);
    screenshot(around(backdrop.get(), box), "kit_group_box");
}

TEST_F(ScreenshotsTest, TooltipAndAboutPicture) {
    auto backdrop = makeBackdrop(200, 80);
    auto* box = new HoverButton(ButtonKind::CheckBox, "Acad Path", backdrop.get());
    units->place(box, 8, 6, 47, 12);
    box->setTooltipText(
        "Uncheck: xref paths are hardcoded.\nChecked: xrefs are searched for and load from "
        "AutoCAD's\nSupport File Search Path");
    show(*backdrop);
    const QPoint local(10, 5);
    QHelpEvent event(QEvent::ToolTip, local, box->mapToGlobal(local));
    QApplication::sendEvent(box, &event);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QTipLabel") && widget->isVisible()) {
            screenshot(*widget, "kit_tooltip");
        }
    }
    QToolTip::hideText();

    const qreal ratio = backdrop->devicePixelRatioF();
    screenshot(platform::loadBitmapResource(instance(), kAboutPicture, ratio), "kit_about_picture");
}

}  // namespace
}  // namespace controlstest
