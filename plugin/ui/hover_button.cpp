#include "plugin/ui/hover_button.h"

#include <QApplication>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolTip>
#include <algorithm>
#include <vector>

#include "acdocman.h"
#include "platform/ui/resources.h"

namespace lnkhold {

namespace {

const QColor kWhite(255, 255, 255);
const QColor kDarkGrey(128, 128, 128);

// A 3-D frame as Windows' Draw3dRect draws it: the top and left edges (without the last pixel)
// in the first colour, the right and bottom edges in full length in the second.
void frame3d(QPainter& painter, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    painter.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
    painter.fillRect(QRect(r.left() + r.width() - 1, r.top(), 1, r.height()), bottomRight);
    painter.fillRect(QRect(r.left(), r.top() + r.height() - 1, r.width(), 1), bottomRight);
}

// A focus rectangle as Windows draws one: every other pixel of the outline, in logical pixels
// so that it scales with the rest of the button.
void dottedRect(QPainter& painter, const QRect& r, const QColor& colour) {
    for (int x = r.left(); x <= r.right(); x += 2) {
        painter.fillRect(QRect(x, r.top(), 1, 1), colour);
        painter.fillRect(QRect(x, r.bottom(), 1, 1), colour);
    }
    for (int y = r.top(); y <= r.bottom(); y += 2) {
        painter.fillRect(QRect(r.left(), y, 1, 1), colour);
        painter.fillRect(QRect(r.right(), y, 1, 1), colour);
    }
}

// Room the tooltip label takes around its text (label margins, document margins, rounding).
constexpr int kTooltipChrome = 24;

}  // namespace

HoverButton::HoverButton(ButtonKind kind, const QString& caption, QWidget* parent)
    : QPushButton(caption, parent), kind_(kind) {
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover,
                 false);  // hover is tracked here: never while the left button is held elsewhere
    if (kind_ == ButtonKind::CheckBox) {
        // A check box is never the dialog's default button: Enter on it presses the default.
        setCheckable(true);
        setAutoDefault(false);
    } else if (kind_ == ButtonKind::DefaultPush) {
        setDefault(true);
    }
    takeSystemColours();
}

HoverButton::~HoverButton() = default;

void HoverButton::takeSystemColours() {
    const QPalette& p = palette();
    const QColor face = p.color(QPalette::Active, QPalette::Button);
    const QColor text = p.color(QPalette::Active, QPalette::ButtonText);
    colours_ = Colours{face, text, face, text, face, text};
}

int HoverButton::setIcons(int firstIconId, int secondIconId) {
    icon1_ = {};
    icon2_ = {};
    icon1Size_ = {};
    icon2Size_ = {};
    HINSTANCE instance = acDocManagerPtr()->curResourceHandle();
    int result = 0;
    QIcon first = platform::loadIconResource(instance, firstIconId);
    const QSize firstSize = platform::iconResourceSize(instance, firstIconId);
    if (first.isNull() || firstSize.isEmpty()) {
        result = 1;
    } else {
        icon1_ = first;
        icon1Size_ = firstSize;
        if (secondIconId != 0) {
            QIcon second = platform::loadIconResource(instance, secondIconId);
            const QSize secondSize = platform::iconResourceSize(instance, secondIconId);
            if (second.isNull() || secondSize.isEmpty()) {
                icon1_ = {};
                icon1Size_ = {};
                result = 1;
            } else {
                icon2_ = second;
                icon2Size_ = secondSize;
            }
        }
    }
    updateGeometry();
    update();
    return result;
}

void HoverButton::setDrawBorder(bool on, bool repaint) {
    drawBorder_ = on;
    if (repaint) {
        update();
    }
}

void HoverButton::setTransparent(bool repaint) {
    // Qt paints the parent's pixels under a child that does not fill itself, at every paint;
    // there is no copy to capture or discard.
    transparent_ = true;
    if (repaint) {
        update();
    }
}

void HoverButton::setCheck(bool on, bool repaint) {
    if (!isCheckBox()) {
        return;
    }
    setChecked(on);
    if (repaint) {
        update();
    }
}

bool HoverButton::getCheck() const {
    return isCheckBox() && isChecked();
}

QString HoverButton::tooltipRichText(const QString& text) {
    const QFontMetrics metrics(QToolTip::font());
    const QStringList lines = text.split(QLatin1Char('\n'));
    int widest = 0;
    QStringList escaped;
    for (const QString& line : lines) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
        escaped << line.toHtmlEscaped();
    }
    // The block is as wide as the widest line (so Qt does not re-wrap the lines as given) but
    // never wider than the tooltip may be; longer lines wrap inside it.
    const int width = std::min(widest + 4, kTooltipMaxWidth - kTooltipChrome);
    return QStringLiteral(
               "<table width=\"%1\" cellspacing=\"0\" cellpadding=\"0\"><tr><td>%2"
               "</td></tr></table>")
        .arg(width)
        .arg(escaped.join(QLatin1String("<br>")));
}

void HoverButton::setTooltipText(const QString& text, bool activate) {
    if (text.isEmpty()) {
        return;
    }
    tooltipText_ = text;
    tooltipActive_ = activate;
    setToolTip(activate ? tooltipRichText(text) : QString());
    if (!activate) {
        QToolTip::hideText();
    }
}

QSize HoverButton::sizeHint() const {
    const QFontMetrics metrics(font());
    const QSize textSize = text().isEmpty() ? QSize() : metrics.size(Qt::TextShowMnemonic, text());
    int width = textSize.width() + 12;
    int height = std::max(textSize.height() + 8, 16);
    if (!icon1_.isNull()) {
        width += kImageMargin + icon1Size_.width();
        height = std::max(height, icon1Size_.height() + 2 * kImageMargin);
    }
    return {width, height};
}

QSize HoverButton::minimumSizeHint() const {
    return sizeHint();
}

void HoverButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = rect();
    const bool held = isDown();
    const bool pressed = isCheckBox() ? (held || isChecked()) : held;
    const bool shift = !isCheckBox() && held;  // only a held push button moves its content
    const bool focused = hasFocus();
    const bool disabled = !isEnabled();

    // Background: the face colour of the state, or the parent's pixels (already under us).
    if (!transparent_) {
        const QColor& face = (mouseOver_ || pressed) ? colours_.hoverFace
                             : focused               ? colours_.focusFace
                                                     : colours_.normalFace;
        painter.fillRect(r, face);
    }

    // Border.
    if (drawBorder_) {
        if (pressed) {
            frame3d(painter, r, kDarkGrey, kWhite);
        } else if (mouseOver_) {
            frame3d(painter, r, kWhite, kDarkGrey);
            frame3d(painter, r.adjusted(1, 1, -1, -1), kWhite, kDarkGrey);
        } else {
            frame3d(painter, r, kWhite, kDarkGrey);
        }
    }

    // Icon, with the text area after it.
    QRect textArea = r;
    if (!icon1_.isNull()) {
        bool first = true;
        if (!icon2_.isNull()) {
            first = isCheckBox() ? pressed : (pressed || mouseOver_);
        }
        const QIcon& icon = first ? icon1_ : icon2_;
        const QSize size = first ? icon1Size_ : icon2Size_;
        QPoint place;
        if (!text().isEmpty()) {
            place.setX(r.left() + kImageMargin);
            textArea.setLeft(r.left() + kImageMargin + size.width());
        } else {
            place.setX(r.left() + (r.width() - size.width()) / 2);
        }
        place.setY(r.top() + (r.height() - size.height()) / 2);
        if (shift) {
            place += QPoint(kPressedOffset, kPressedOffset);
        }
        const QPixmap pixmap =
            icon.pixmap(size, devicePixelRatioF(), disabled ? QIcon::Disabled : QIcon::Normal);
        painter.drawPixmap(QRect(place, size), pixmap);
    }

    // Text: word-wrapped, centred in the text area; the disabled look is etched.
    const int mnemonic = style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this)
                             ? Qt::TextShowMnemonic
                             : Qt::TextHideMnemonic;
    const int flags = Qt::AlignCenter | Qt::TextWordWrap | mnemonic;
    if (shift) {
        textArea.translate(kPressedOffset, kPressedOffset);
    }
    if (!text().isEmpty()) {
        painter.setFont(font());
        if (disabled) {
            painter.setPen(kWhite);
            painter.drawText(textArea.translated(1, 1), flags, text());
            painter.setPen(kDarkGrey);
            painter.drawText(textArea, flags, text());
        } else {
            painter.setPen((mouseOver_ || pressed) ? colours_.hoverText
                           : focused               ? colours_.focusText
                                                   : colours_.normalText);
            painter.drawText(textArea, flags, text());
        }
    }

    // Focus cue for keyboard users (see the header).
    QStyleOptionButton option;
    initStyleOption(&option);
    if (focused && (option.state & QStyle::State_KeyboardFocusChange)) {
        QRect cue;
        if (drawBorder_) {
            cue = r.adjusted(3, 3, -4, -4);
        } else if (!text().isEmpty()) {
            cue = painter.fontMetrics()
                      .boundingRect(textArea, flags, text())
                      .adjusted(-2, -1, 1, 0)
                      .intersected(r.adjusted(0, 0, -1, -1));
        } else {
            cue = r.adjusted(0, 0, -1, -1);
        }
        dottedRect(painter, cue, disabled ? kDarkGrey : colours_.focusText);
    }
}

void HoverButton::enterHover() {
    if (!mouseOver_) {
        mouseOver_ = true;
        update();
    }
}

void HoverButton::leaveHover() {
    if (mouseOver_) {
        mouseOver_ = false;
        update();
    }
}

void HoverButton::trackHover(Qt::MouseButtons buttons, bool inside) {
    // Hover is considered only while the left button is up, or when already hovering.
    if ((buttons & Qt::LeftButton) && !mouseOver_) {
        return;
    }
    if (inside) {
        enterHover();
    } else {
        leaveHover();
    }
}

void HoverButton::mouseMoveEvent(QMouseEvent* event) {
    QPushButton::mouseMoveEvent(event);
    trackHover(event->buttons(), rect().contains(event->position().toPoint()));
    event->accept();  // moves over a button are the button's, not the dialog's
}

void HoverButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second click of a double-click is a click of its own. Qt delivers its press before
    // the double-click; a double-click that comes without one is taken as the press.
    if (event->button() == Qt::LeftButton && !isDown()) {
        mousePressEvent(event);
    } else {
        event->accept();
    }
}

void HoverButton::enterEvent(QEnterEvent* event) {
    QPushButton::enterEvent(event);
    trackHover(QGuiApplication::mouseButtons(), true);
}

void HoverButton::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    leaveHover();
}

void HoverButton::focusOutEvent(QFocusEvent* event) {
    QPushButton::focusOutEvent(event);
    leaveHover();
}

void HoverButton::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    switch (event->type()) {
        case QEvent::EnabledChange:
            if (!isEnabled()) {
                leaveHover();
            }
            break;
        case QEvent::PaletteChange:  // the system colours changed
            takeSystemColours();
            update();
            break;
        default:
            break;
    }
}

void HoverButton::focusNextSharingMnemonic() {
    // As a Windows dialog does: from the control after the focused one, in tab order, the
    // first enabled and visible button with the same mnemonic gets the focus.
    const QKeySequence key = shortcut();
    QWidget* top = window();
    std::vector<QWidget*> chain;
    QWidget* start = QApplication::focusWidget();
    if (!start || start->window() != top) {
        start = top;
    }
    for (QWidget* w = start->nextInFocusChain(); w && w != start; w = w->nextInFocusChain()) {
        auto* button = qobject_cast<QAbstractButton*>(w);
        if (button && button->window() == top && button->isVisible() && button->isEnabled() &&
            button->focusPolicy() != Qt::NoFocus && button->shortcut() == key) {
            button->setFocus(Qt::ShortcutFocusReason);
            return;
        }
    }
    setFocus(Qt::ShortcutFocusReason);
}

bool HoverButton::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::Shortcut: {
            auto* shortcutEvent = static_cast<QShortcutEvent*>(event);
            if (shortcutEvent->isAmbiguous()) {
                focusNextSharingMnemonic();
                window()->setAttribute(Qt::WA_KeyboardFocusChange);
                return true;
            }
            break;
        }
        case QEvent::WindowDeactivate:  // the window lost activation (sent to every child)
        case QEvent::WindowBlocked:     // a modal window opened over ours: the mouse mode ends
            leaveHover();
            break;
        default:
            break;
    }
    return QPushButton::event(event);
}

}  // namespace lnkhold
