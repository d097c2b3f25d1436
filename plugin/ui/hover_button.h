#pragma once
// HoverButton: every push button and check box of the main dialog. A flat button
// with a thin raised border that thickens while the pointer is over it, sunken while held, an
// optional pair of icons, a multi-line tooltip, and either a plain face or the dialog's painted
// background behind it.
//
// Built on QPushButton, so Qt's dialog handling stays: Enter presses the default button,
// mnemonics ("&Detach") press the button, a mnemonic shared by several controls moves the focus
// between them, Space presses the focused one. A check box is a checkable QPushButton: a click
// toggles the tick, then `clicked` goes out.
//
// Focus: the mouse never brings up a focus rectangle. Keyboard users still see where the focus
// is: once the window has been navigated with the keyboard (Tab, mnemonics: Qt's
// keyboard-focus-change state, the same rule Windows uses for its focus cues), the focused button
// shows a dotted focus rectangle inside its border (around the text for a borderless check box).

#include <QIcon>
#include <QPushButton>
#include <QSize>
#include <QString>

namespace lnkhold {

enum class ButtonKind { Push, DefaultPush, CheckBox };

class HoverButton : public QPushButton {
    Q_OBJECT

  public:
    // Fixed values of the kit.
    static constexpr int kImageMargin = 3;        // horizontal and vertical image margin, pixels
    static constexpr int kPressedOffset = 1;      // text and icon shift while a push button is held
    static constexpr int kTooltipMaxWidth = 400;  // pixels

    HoverButton(ButtonKind kind, const QString& caption, QWidget* parent);
    ~HoverButton() override;
    HoverButton(const HoverButton&) = delete;
    HoverButton& operator=(const HoverButton&) = delete;

    ButtonKind kind() const { return kind_; }
    bool isCheckBox() const { return kind_ == ButtonKind::CheckBox; }

    // Icons from the resource instance on top of the host's resource stack
    // (acDocManagerPtr()->curResourceHandle()). 0 on success; 1 when an icon cannot be loaded,
    // and then neither is kept. A second id of 0 means a single icon.
    int setIcons(int firstIconId, int secondIconId = 0);
    void setDrawBorder(bool on, bool repaint = true);
    // The dialog's painted background shows through instead of the face colour.
    void setTransparent(bool repaint = true);
    // Check boxes only; ignored for push buttons.
    void setCheck(bool on, bool repaint = true);
    bool getCheck() const;
    // With a text: the tooltip shows it (line breaks kept, at most 400 pixels wide) while
    // active. An empty text changes nothing.
    void setTooltipText(const QString& text, bool activate = true);

    // State, for tests and the dialog.
    bool drawsBorder() const { return drawBorder_; }
    bool isTransparent() const { return transparent_; }
    bool isMouseOver() const { return mouseOver_; }
    QString tooltipText() const { return tooltipText_; }
    bool isTooltipActive() const { return tooltipActive_; }
    bool hasIcons() const { return !icon1_.isNull(); }

    // The rich text the tooltip shows for a plain text: escaped, one line per line of the
    // text, wrapped into a block no wider than kTooltipMaxWidth.
    static QString tooltipRichText(const QString& text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

  private:
    struct Colours {
        QColor hoverFace, hoverText;    // hover or pressed
        QColor focusFace, focusText;    // focused
        QColor normalFace, normalText;  // otherwise
    };

    void takeSystemColours();
    void enterHover();
    void leaveHover();
    void trackHover(Qt::MouseButtons buttons, bool inside);
    // A mnemonic shared with other buttons: the focus moves to the next of them.
    void focusNextSharingMnemonic();

    ButtonKind kind_;
    bool mouseOver_ = false;
    bool drawBorder_ = true;
    bool transparent_ = false;
    QIcon icon1_;
    QIcon icon2_;
    QSize icon1Size_;
    QSize icon2Size_;
    QString tooltipText_;
    bool tooltipActive_ = false;
    Colours colours_;
};

}  // namespace lnkhold
