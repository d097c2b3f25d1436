#include "plugin/ui/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "platform/ui/dialog_units.h"
#include "platform/ui/resources.h"
#include "plugin/host/module.h"
#include "plugin/ui/version_info.h"

namespace lnkhold {

namespace {

constexpr int kPictureBitmap = 228;
constexpr int kVersionText = 212;

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : CAdUiDialog(parent) {
    setFont(platform::dialogFont());
    setWindowTitle(QStringLiteral("About"));
    const platform::DialogUnits units(font());
    setFixedSize(units.toPixels(246, 135));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("IDC_%1").arg(kPictureBitmap));
    picture->setAlignment(Qt::AlignCenter);
    units.place(picture, 7, 7, 93, 121);

    auto* version = new QLabel(this);
    version->setObjectName(QStringLiteral("IDC_%1").arg(kVersionText));
    QFont bold = font();
    bold.setBold(true);
    version->setFont(bold);
    units.place(version, 109, 9, 130, 20);

    auto* text = new QLabel(this);
    text->setObjectName(QStringLiteral("notice"));
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    units.place(text, 109, 32, 130, 76);

    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("IDC_1"));
    close->setDefault(true);
    units.place(close, 189, 114, 50, 14);
    connect(close, &QPushButton::clicked, this, [this] { accept(); });
}

BOOL AboutDialog::OnInitDialog() {
    CAdUiDialog::OnInitDialog();
    auto* picture = findChild<QLabel*>(QStringLiteral("IDC_%1").arg(kPictureBitmap));
    QPixmap bitmap =
        platform::loadBitmapResource(resourceInstance(), kPictureBitmap, devicePixelRatioF());
    if (!bitmap.isNull()) {
        picture->setPixmap(bitmap);
    }
    findChild<QLabel*>(QStringLiteral("IDC_%1").arg(kVersionText))
        ->setText(QString::fromStdString(versionTitle(moduleInstance())));
    // The maker's notice comes from the module's version resource too.
    VersionInfo version;
    version.loadFromModule(moduleInstance());
    const std::string notice = version.text("FileDescription") + "\n\n" +
                               version.text("LegalCopyright") + "\n" + version.text("CompanyName");
    findChild<QLabel*>(QStringLiteral("notice"))->setText(QString::fromStdString(notice));
    return 1;
}

}  // namespace lnkhold
