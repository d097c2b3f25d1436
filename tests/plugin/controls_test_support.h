#pragma once
// The control kit under test: the plug-in's resources registered through a test module handle
// on top of the host's resource stack, a dialog that paints the tiled background 202 as the main
// dialog does, real mouse and key input through the dialog's window, pixel helpers and
// screenshots under <build>/screenshots.

#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QWindow>
#include <QtTest/QTest>
#include <functional>

#include "cadhost/sdk/acdocman.h"
#include "platform/ui/dialog_units.h"
#include "platform/ui/resources.h"
#include "plugin/ui/etched_group_box.h"
#include "plugin/ui/hover_button.h"
#include "support/qt_application.h"

namespace controlstest {

using lnkhold::ButtonKind;
using lnkhold::EtchedGroupBox;
using lnkhold::HoverButton;

// The resource ids of the main dialog.
inline constexpr int kBackground = 202;
inline constexpr int kAboutPicture = 228;
inline constexpr int kTicked = 215;
inline constexpr int kUnticked = 217;
inline constexpr int kHelp = 220;
inline constexpr int kAbout = 221;

// The dialog the controls live on: the tiled background bitmap 202, and a count of the mouse
// presses that reach its own surface.
class Backdrop : public QDialog {
  public:
    explicit Backdrop(HINSTANCE instance) {
        setFont(platform::dialogFont());
        tile_ = platform::loadBitmapResource(instance, kBackground, devicePixelRatioF());
    }
    int presses = 0;
    int doubleClicks = 0;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        if (tile_.isNull()) {
            painter.fillRect(rect(), Qt::magenta);
            return;
        }
        painter.drawTiledPixmap(rect(), tile_);
    }
    void mousePressEvent(QMouseEvent*) override { ++presses; }
    void mouseDoubleClickEvent(QMouseEvent*) override { ++doubleClicks; }

  private:
    QPixmap tile_;
};

class ControlsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        testsupport::qtApplication();
        ASSERT_TRUE(platform::AfxInitExtensionModule(extension_, &module_, ":/lnkhold"));
        acDocManagerPtr()->pushResourceHandle(&module_);
    }
    void TearDown() override {
        acDocManagerPtr()->popResourceHandle();
        platform::AfxTermExtensionModule(extension_);
    }

    HINSTANCE instance() { return &module_; }

    // A backdrop of the size given, shown, exposed and active.
    std::unique_ptr<Backdrop> makeBackdrop(int width = 240, int height = 120) {
        auto backdrop = std::make_unique<Backdrop>(instance());
        backdrop->resize(width, height);
        return backdrop;
    }
    static void show(QWidget& window) {
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // Real input through the window, so that Qt's grabs, enter and leave events and button
    // state are those of a user.
    static QPoint inWindow(QWidget* widget, QPoint at) {
        return widget->mapTo(widget->window(), at);
    }
    static QWindow* windowOf(QWidget* widget) { return widget->window()->windowHandle(); }
    static void moveTo(QWidget* widget, QPoint at) {
        QTest::mouseMove(windowOf(widget), inWindow(widget, at));
    }
    static void moveTo(QWidget* widget) { moveTo(widget, widget->rect().center()); }
    static void press(QWidget* widget, QPoint at) {
        QTest::mousePress(windowOf(widget), Qt::LeftButton, {}, inWindow(widget, at));
    }
    static void press(QWidget* widget) { press(widget, widget->rect().center()); }
    static void release(QWidget* widget, QPoint at) {
        QTest::mouseRelease(windowOf(widget), Qt::LeftButton, {}, inWindow(widget, at));
    }
    static void release(QWidget* widget) { release(widget, widget->rect().center()); }

    // What the window shows where the widget is (its parent's background included), in device
    // pixels.
    static QImage shot(QWidget* widget) {
        QWidget* parent = widget->parentWidget();
        return parent->grab(widget->geometry()).toImage().convertToFormat(QImage::Format_RGB32);
    }
    // The colour at a point given in the widget's own (logical) pixels.
    static QColor at(const QImage& image, int x, int y) {
        const qreal ratio = image.devicePixelRatio();
        return image.pixelColor(static_cast<int>(x * ratio), static_cast<int>(y * ratio));
    }
    // The device-pixel bounding box of the pixels that pass the test; null when none does.
    static QRect bounds(const QImage& image, const QRect& logicalArea,
                        const std::function<bool(const QColor&)>& test) {
        const qreal ratio = image.devicePixelRatio();
        const QRect area(QPoint(static_cast<int>(logicalArea.left() * ratio),
                                static_cast<int>(logicalArea.top() * ratio)),
                         logicalArea.size() * ratio);
        QRect found;
        for (int y = area.top(); y <= area.bottom() && y < image.height(); ++y) {
            for (int x = area.left(); x <= area.right() && x < image.width(); ++x) {
                if (test(image.pixelColor(x, y))) {
                    found |= QRect(x, y, 1, 1);
                }
            }
        }
        return found;
    }

    static void screenshot(QWidget& widget, const QString& name) {
        screenshot(widget.grab(), name);
    }
    static void screenshot(const QPixmap& pixmap, const QString& name) {
        QDir().mkpath(SCREENSHOT_DIR);
        const QString suffix =
            pixmap.devicePixelRatio() > 1.0
                ? QStringLiteral("@%1x").arg(static_cast<int>(pixmap.devicePixelRatio() + 0.5))
                : QString();
        const QString file = QStringLiteral(SCREENSHOT_DIR "/%1%2.png").arg(name, suffix);
        EXPECT_TRUE(pixmap.save(file)) << file.toStdString();
    }

  private:
    HINSTANCE__ module_{{}, QDir::tempPath().toStdString()};
    platform::AFX_EXTENSION_MODULE extension_;
};

inline const QColor kWhite(255, 255, 255);
inline const QColor kDarkGrey(128, 128, 128);

// The dark blue of the tick in icon 215 (and only there).
inline bool isTickBlue(const QColor& c) {
    return c.blue() > c.red() + 60 && c.red() < 90 && c.blue() > 110;
}
// The blue of the Help and About discs.
inline bool isDiscBlue(const QColor& c) {
    return c.blue() > c.red() + 70 && c.blue() > 140;
}
// Text: the button text colour of the palette, near black.
inline bool isDark(const QColor& c) {
    return c.red() < 90 && c.green() < 90 && c.blue() < 90;
}

}  // namespace controlstest
