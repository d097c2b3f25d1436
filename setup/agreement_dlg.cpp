#include "setup/agreement_dlg.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include "platform/ui/dialog_units.h"
#include "platform/ui/modal.h"
#include "setup/artwork.h"
#include "setup/license_text.h"
#include "setup/main_sheet.h"
#include "setup/resource_ids.h"

namespace setup {

namespace {

// The edit shows the text up to its first NUL, with Windows line ends as line breaks.
QString licenseForDisplay(const std::string& text) {
    return QString::fromLocal8Bit(text.c_str())
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

CAgreementDlg::CAgreementDlg(const std::string& setupFolder, QWidget* parent) : QDialog(parent) {
    setFont(platform::dialogFont());
    const platform::DialogUnits du(font());
    setWindowTitle(QStringLiteral("Setup Fernview for AutoCAD 2004 - 2005"));
    setWindowIcon(programIcon());
    setFixedSize(du.toPixels(410, 199));

    continue_ = new QPushButton(QStringLiteral("Continue"), this);
    continue_->setObjectName(controlName(platform::IDOK));
    continue_->setDefault(true);
    du.place(continue_, 297, 178, 50, 14);
    auto* quit = new QPushButton(QStringLiteral("Quit"), this);
    quit->setObjectName(controlName(platform::IDCANCEL));
    du.place(quit, 353, 178, 50, 14);

    agree_ = new QRadioButton(QStringLiteral("Yes, I agree to the terms of the agreement"), this);
    agree_->setObjectName(controlName(IDC_AGREE));
    du.place(agree_, 7, 169, 148, 10);
    disagree_ =
        new QRadioButton(QStringLiteral("No, I do not agree to the terms of the agreement"), this);
    disagree_->setObjectName(controlName(IDC_DISAGREE));
    du.place(disagree_, 7, 182, 167, 10);

    auto* picture = new QLabel(this);
    du.place(picture, 7, 7, 96, 123);
    picture->setPixmap(sidePicture(picture->size()));

    license_ = new QPlainTextEdit(this);
    license_->setObjectName(controlName(IDC_LICENSE));
    license_->setReadOnly(true);
    license_->setLineWrapMode(QPlainTextEdit::NoWrap);
    license_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    license_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    du.place(license_, 109, 7, 294, 159);
    license_->setPlainText(licenseForDisplay(loadLicenseText(setupFolder)));

    disagree_->setChecked(true);
    continue_->setEnabled(false);
    connect(agree_, &QRadioButton::clicked, this, [this] { continue_->setEnabled(true); });
    connect(disagree_, &QRadioButton::clicked, this, [this] { continue_->setEnabled(false); });
    connect(continue_, &QPushButton::clicked, this, [this] { onContinue(); });
    connect(quit, &QPushButton::clicked, this, &QDialog::reject);
}

void CAgreementDlg::onContinue() {
    hide();
    {
        CMainSheet sheet;
        platform::runModal(sheet);
    }
    accept();
}

}  // namespace setup
