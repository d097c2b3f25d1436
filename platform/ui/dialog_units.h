#pragma once
// Dialog templates laid out in dialog units: a horizontal unit is a quarter of the dialog
// font's average character width, a vertical unit an eighth of its height, as Windows
// computes them for a dialog's font.

#include <QFont>
#include <QRect>
#include <QSize>

class QWidget;

namespace platform {

// The dialog font of the templates ("MS Sans Serif" 8), or the closest sans serif face here.
QFont dialogFont();

class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);

    int baseX() const { return baseX_; }
    int baseY() const { return baseY_; }
    QSize toPixels(int width, int height) const;
    QRect toPixels(int x, int y, int width, int height) const;

    // Places the control at a rectangle given in dialog units.
    void place(QWidget* control, int x, int y, int width, int height) const;

  private:
    int baseX_;
    int baseY_;
};

}  // namespace platform
