#pragma once
// The installer's pictures, drawn at run time: the side pictures of the dialogs and pages,
// and the program icon.

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace setup {

QPixmap sidePicture(QSize size);
QIcon programIcon();

}  // namespace setup
