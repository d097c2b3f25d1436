#include "setup/acad_versions.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "platform/collation.h"
#include "setup/demand_load.h"
#include "setup/main_sheet.h"
#include "setup/message_box_sink.h"
#include "setup/resource_ids.h"
#include "setup/strings.h"

namespace setup {

namespace {

constexpr int kKeyPathRole = Qt::UserRole;

// The row at which label belongs in a list sorted in the user's locale order.
int sortedRow(const QListWidget& list, const std::string& label) {
    int row = 0;
    while (row < list.count() &&
           platform::lstrcmpA(list.item(row)->text().toLocal8Bit().toStdString(), label) <= 0) {
        ++row;
    }
    return row;
}

}  // namespace

CAcadVersions::CAcadVersions(CMainSheet& sheet)
    : WizardPageBase("Found Autocad Versions"), sheet_(sheet) {
    products_ = new QListWidget(this);
    products_->setObjectName(controlName(IDC_PRODUCTS));
    products_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    products_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    units().place(products_, 111, 19, 214, 111);
    auto* selectAll = new QPushButton(QStringLiteral("Select All"), this);
    selectAll->setObjectName(controlName(IDC_SELECT_ALL));
    units().place(selectAll, 111, 134, 50, 14);
    auto* unselectAll = new QPushButton(QStringLiteral("Unselect All"), this);
    unselectAll->setObjectName(controlName(IDC_UNSELECT_ALL));
    units().place(unselectAll, 166, 134, 50, 14);
    addSidePicture(7, 7, 93, 121);
    auto* label = new QLabel(QStringLiteral("Registered versions of AutoCAD"), this);
    units().place(label, 111, 7, 102, 8);
    title_ = new QLabel(this);
    title_->setObjectName(controlName(IDC_SELECTION));
    title_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    units().place(title_, 231, 7, 94, 8);

    connect(products_, &QListWidget::itemSelectionChanged, this, [this] { selectionChanged(); });
    connect(selectAll, &QPushButton::clicked, this, [this] {
        products_->selectAll();
        selectionChanged();
    });
    connect(unselectAll, &QPushButton::clicked, this, [this] {
        products_->clearSelection();
        selectionChanged();
    });
}

void CAcadVersions::fillProducts() {
    for (const ProductEntry& product : discoverProducts(registry_)) {
        auto* item = new QListWidgetItem(QString::fromLocal8Bit(product.label));
        item->setData(kKeyPathRole, QString::fromLocal8Bit(product.keyPath));
        products_->insertItem(sortedRow(*products_, product.label), item);
    }
}

void CAcadVersions::initializePage() {
    if (!filled_) {
        fillProducts();
        filled_ = true;
    }
    const UINT prefix = sheet_.mode() == CMainSheet::kInstall ? IDS_INSTALL : IDS_UNINSTALL;
    title_->setText(QString::fromLocal8Bit(loadString(prefix) + loadString(IDS_APPNAME)));
    finishEnabled_ = false;
    emit completeChanged();
}

void CAcadVersions::selectionChanged() {
    finishEnabled_ = !products_->selectedItems().isEmpty();
    emit completeChanged();
}

bool CAcadVersions::isComplete() const {
    return finishEnabled_;
}

std::vector<std::string> CAcadVersions::selectedProducts() const {
    std::vector<std::string> paths;
    for (int row = 0; row < products_->count(); ++row) {
        if (products_->item(row)->isSelected()) {
            paths.push_back(
                products_->item(row)->data(kKeyPathRole).toString().toLocal8Bit().toStdString());
        }
    }
    return paths;
}

bool CAcadVersions::validatePage() {
    const DemandLoadRegistration registration(registry_, messageBoxesOf(this));
    if (sheet_.mode() == CMainSheet::kInstall) {
        registration.install(selectedProducts(), sheet_.installFolder());
    } else {
        registration.uninstall(selectedProducts());
    }
    return true;  // the wizard closes whatever the outcome
}

}  // namespace setup
