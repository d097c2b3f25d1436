#include "plugin/ui/background_dialog.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace lnkhold {

BackgroundDialog::BackgroundDialog(QWidget* parent) : CAdUiDialog(parent) {}

void BackgroundDialog::setBackgroundBitmap(const QPixmap& bitmap) {
    backgroundBitmap_ = bitmap;
    // Sizes in device-independent pixels, so a bitmap drawn for 200 % covers the same area.
    const QSizeF size = bitmap.isNull() ? QSizeF() : bitmap.deviceIndependentSize();
    bitmapWidth_ = static_cast<int>(size.width());
    bitmapHeight_ = static_cast<int>(size.height());
    if (bitmapWidth_ <= 0 || bitmapHeight_ <= 0) {
        backgroundBitmap_ = QPixmap();
        bitmapWidth_ = bitmapHeight_ = 0;
    }
    update();
}

void BackgroundDialog::setDrawMode(int mode) {
    drawMode_ = mode;
    if (mode == kFitWindow && !backgroundBitmap_.isNull()) {
        resize(bitmapWidth_, bitmapHeight_);
    }
    update();
}

void BackgroundDialog::paintEvent(QPaintEvent* event) {
    if (backgroundBitmap_.isNull()) {
        CAdUiDialog::paintEvent(event);
        return;
    }
    QPainter painter(this);
    const QRect client = rect();
    switch (drawMode_) {
        case kTiled:
            painter.drawTiledPixmap(client, backgroundBitmap_);
            break;
        case kCentred:
            if (bitmapWidth_ < client.width() && bitmapHeight_ < client.height()) {
                painter.drawPixmap((client.width() - bitmapWidth_) / 2,
                                   (client.height() - bitmapHeight_) / 2, backgroundBitmap_);
            }
            break;
        case kStretched:
            painter.drawPixmap(client, backgroundBitmap_);
            break;
        default:
            painter.drawPixmap(0, 0, backgroundBitmap_);
            break;
    }
}

void BackgroundDialog::resizeEvent(QResizeEvent* event) {
    CAdUiDialog::resizeEvent(event);
    if (!backgroundBitmap_.isNull()) {
        update();
    }
}

// A press on the dialog's own surface (not on a control) moves the window as the caption
// does: through the window system where it can, else by following the pointer.
void BackgroundDialog::mousePressEvent(QMouseEvent* event) {
    if (dragAnywhere && event->button() == Qt::LeftButton) {
        QWindow* window = windowHandle();
        if (!window || !window->startSystemMove()) {
            dragging_ = true;
            dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        }
    }
    CAdUiDialog::mousePressEvent(event);
}

void BackgroundDialog::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - dragOffset_);
    }
    CAdUiDialog::mouseMoveEvent(event);
}

void BackgroundDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        dragging_ = false;
    }
    CAdUiDialog::mouseReleaseEvent(event);
}

}  // namespace lnkhold
