#include "setup/artwork.h"

#include <QLinearGradient>
#include <QPainter>

#include "setup/strings.h"

namespace setup {

QPixmap sidePicture(QSize size) {
    QPixmap picture(size);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, 0, size.height());
    gradient.setColorAt(0, QColor(0x1f, 0x3a, 0x5f));
    gradient.setColorAt(1, QColor(0x5f, 0x8f, 0xbf));
    painter.fillRect(picture.rect(), gradient);
    painter.setPen(QColor(255, 255, 255, 60));
    for (int y = size.height() / 3; y < size.height(); y += 12) {
        painter.drawLine(8, y, size.width() - 8, y);  // the ruled lines of a drawing sheet
    }
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(picture.rect().adjusted(6, 10, -6, 0), Qt::AlignHCenter | Qt::AlignTop,
                     QString::fromLocal8Bit(loadString(IDS_APPNAME)));
    return picture;
}

QIcon programIcon() {
    QPixmap icon(32, 32);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x1f, 0x3a, 0x5f));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(icon.rect().adjusted(1, 1, -1, -1), 5, 5);
    painter.setPen(QPen(Qt::white, 3));
    painter.drawLine(9, 7, 9, 25);
    painter.drawLine(9, 25, 24, 25);
    return QIcon(icon);
}

}  // namespace setup
