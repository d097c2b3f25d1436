#pragma once
// EtchedGroupBox: a group box drawn as an etched frame with its title over the
// dialog's painted background, inert to mouse presses and double-clicks (they are swallowed,
// so they neither reach the dialog nor move it).
//
// Like a group box of a dialog template, it lies below the controls it frames: it lowers itself
// among its siblings when made, whatever order the dialog creates its controls in.

#include <QGroupBox>
#include <QString>

namespace lnkhold {

class EtchedGroupBox : public QGroupBox {
    Q_OBJECT

  public:
    EtchedGroupBox(const QString& title, QWidget* parent);
    ~EtchedGroupBox() override;
    EtchedGroupBox(const EtchedGroupBox&) = delete;
    EtchedGroupBox& operator=(const EtchedGroupBox&) = delete;

    // The frame's top line: half the title's height plus 2 pixels below the top edge.
    int frameTop() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    static bool swallowed(QMouseEvent* event);
};

}  // namespace lnkhold
