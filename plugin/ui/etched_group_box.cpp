#include "plugin/ui/etched_group_box.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace lnkhold {

namespace {

const QColor kWhite(255, 255, 255);
const QColor kDarkGrey(128, 128, 128);

// Draws an axis-parallel line as MoveTo/LineTo does: from `from` up to, not including, `to`.
void lineTo(QPainter& painter, QPoint& from, const QPoint& to, const QColor& colour) {
    if (from.y() == to.y() && from.x() != to.x()) {
        const int left = from.x() < to.x() ? from.x() : to.x() + 1;
        painter.fillRect(QRect(left, from.y(), std::abs(to.x() - from.x()), 1), colour);
    } else if (from.x() == to.x() && from.y() != to.y()) {
        const int top = from.y() < to.y() ? from.y() : to.y() + 1;
        painter.fillRect(QRect(from.x(), top, 1, std::abs(to.y() - from.y())), colour);
    }
    from = to;
}

}  // namespace

EtchedGroupBox::EtchedGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
    setFocusPolicy(Qt::NoFocus);
    lower();
}

EtchedGroupBox::~EtchedGroupBox() = default;

int EtchedGroupBox::frameTop() const {
    return fontMetrics().height() / 2 + 2;
}

void EtchedGroupBox::paintEvent(QPaintEvent*) {
    // The parent's background is already under us; only the frame and the title are drawn.
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QString title = this->title();
    const int titleWidth = title.isEmpty() ? 0 : metrics.horizontalAdvance(title);

    const int L = 0;
    const int T = frameTop();
    const int R = width();
    const int B = height();
    const int W = titleWidth;

    QPoint at(L, B - 1);
    lineTo(painter, at, {L, T}, kDarkGrey);
    lineTo(painter, at, {L + 4, T}, kDarkGrey);
    at = {L + W + 7, T};
    lineTo(painter, at, {R, T}, kDarkGrey);

    at = {L + 1, B - 1};
    lineTo(painter, at, {L + 1, T + 1}, kWhite);
    lineTo(painter, at, {L + 4, T + 1}, kWhite);
    at = {L + W + 7, T + 1};
    lineTo(painter, at, {R, T + 1}, kWhite);

    at = {L, B - 1};
    lineTo(painter, at, {R - 1, B - 1}, kWhite);
    lineTo(painter, at, {R - 1, T - 1}, kWhite);

    at = {L + 1, B - 2};
    lineTo(painter, at, {R - 2, B - 2}, kDarkGrey);
    lineTo(painter, at, {R - 2, T}, kDarkGrey);

    if (!title.isEmpty()) {
        painter.setFont(font());
        painter.setPen(Qt::black);
        painter.drawText(QRect(L + 5, 0, std::max(0, R - L - 5), metrics.height()),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title);
    }
}

bool EtchedGroupBox::swallowed(QMouseEvent* event) {
    const Qt::MouseButton button = event->button();
    if (button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton) {
        event->accept();
        return true;
    }
    event->ignore();
    return false;
}

void EtchedGroupBox::mousePressEvent(QMouseEvent* event) {
    swallowed(event);
}

void EtchedGroupBox::mouseReleaseEvent(QMouseEvent* event) {
    swallowed(event);
}

void EtchedGroupBox::mouseDoubleClickEvent(QMouseEvent* event) {
    swallowed(event);
}

}  // namespace lnkhold
