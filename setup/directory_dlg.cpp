#include "setup/directory_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "platform/ui/dialog_units.h"
#include "platform/ui/modal.h"
#include "setup/directory_tree.h"
#include "setup/resource_ids.h"

namespace setup {

CDirectoryDlg::CDirectoryDlg(const std::string& initialPath, QWidget* parent) : QDialog(parent) {
    setFont(platform::dialogFont());
    const platform::DialogUnits du(font());
    setWindowTitle(QStringLiteral("Installation directory"));
    setFixedSize(du.toPixels(237, 164));

    auto* label = new QLabel(QStringLiteral("Directory"), this);
    du.place(label, 7, 7, 29, 8);
    tree_ = new CDirectoryTree(this);
    tree_->setObjectName(controlName(IDC_TREE));
    du.place(tree_, 7, 22, 223, 93);
    selectionText_ = new QLabel(this);
    selectionText_->setObjectName(controlName(IDC_SELECTION));
    du.place(selectionText_, 7, 119, 223, 8);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(controlName(platform::IDOK));
    ok->setDefault(true);
    du.place(ok, 123, 131, 50, 14);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(controlName(platform::IDCANCEL));
    du.place(cancel, 180, 131, 50, 14);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    tree_->setSelectionHandler([this](const std::string& path) {
        selection_ = path + "\\";
        selectionText_->setText(QString::fromLocal8Bit(selection_));
    });
    tree_->addDrives();
    tree_->openPath(initialPath);
}

std::string CDirectoryDlg::selectedFolder() const {
    return selection_.ends_with('\\') ? selection_.substr(0, selection_.size() - 1) : selection_;
}

}  // namespace setup
