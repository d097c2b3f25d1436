#pragma once
// A host dialog with a painted background bitmap that the window can be dragged by.

#include <QPixmap>
#include <QPoint>

#include "adui.h"

namespace lnkhold {

class BackgroundDialog : public CAdUiDialog {
  public:
    // 0 and 4: once at the top-left corner; 1: tiled; 2: centred; 3: stretched.
    enum DrawMode { kTopLeft = 0, kTiled = 1, kCentred = 2, kStretched = 3, kFitWindow = 4 };

    explicit BackgroundDialog(QWidget* parent = nullptr);

    // Replaces the bitmap; a null one is dropped and the host's plain background shows.
    void setBackgroundBitmap(const QPixmap& bitmap);
    // Mode 4 with a bitmap makes the window the bitmap's size.
    void setDrawMode(int mode);

    int dragAnywhere = 1;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QPixmap backgroundBitmap_;
    int bitmapWidth_ = 0;
    int bitmapHeight_ = 0;
    int drawMode_ = kTopLeft;
    bool dragging_ = false;
    QPoint dragOffset_;
};

}  // namespace lnkhold
