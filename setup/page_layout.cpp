#include "setup/page_layout.h"

#include <QLabel>

#include "setup/artwork.h"

namespace setup {

WizardPageBase::WizardPageBase(const char* caption) : units_(platform::dialogFont()) {
    setFont(platform::dialogFont());
    // The page's own caption names the page; the wizard's title bar shows the program's name.
    setWindowTitle(QString::fromLatin1(caption));
    setFixedSize(units_.toPixels(332, 191));
}

void WizardPageBase::addSidePicture(int x, int y, int width, int height) {
    auto* picture = new QLabel(this);
    units_.place(picture, x, y, width, height);
    picture->setPixmap(sidePicture(picture->size()));
}

}  // namespace setup
