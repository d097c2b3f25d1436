#include "platform/ui/dialog_units.h"

#include <QFontMetrics>
#include <QWidget>

namespace platform {

namespace {

// MulDiv: the product divided, rounded half away from zero.
int mulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

}  // namespace

QFont dialogFont() {
    QFont font("MS Sans Serif", 8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseX_ = (letters / 26 + 1) / 2;
    baseY_ = metrics.height();
}

QSize DialogUnits::toPixels(int width, int height) const {
    return {mulDiv(width, baseX_, 4), mulDiv(height, baseY_, 8)};
}

QRect DialogUnits::toPixels(int x, int y, int width, int height) const {
    return {QPoint(mulDiv(x, baseX_, 4), mulDiv(y, baseY_, 8)), toPixels(width, height)};
}

void DialogUnits::place(QWidget* control, int x, int y, int width, int height) const {
    control->setGeometry(toPixels(x, y, width, height));
}

}  // namespace platform
