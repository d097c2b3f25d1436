#include "plugin/ui/xref_list_view.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>

#include "plugin/ops/row_columns.h"

namespace lnkhold {

namespace {

const QColor kAddedText(0, 0, 255);
const QColor kNestedText(255, 0, 0);
const QColor kNewerBackground(0, 255, 0);

}  // namespace

XrefListModel::XrefListModel(const XrefRowList& rows, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows) {}

void XrefListModel::setItemCount(int count) {
    beginResetModel();
    count_ = count < 0 ? 0 : count;
    endResetModel();
}

void XrefListModel::refreshAll() {
    if (count_ > 0) {
        emit dataChanged(index(0, 0), index(count_ - 1, kColumnCount - 1));
    }
}

int XrefListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count_;
}

int XrefListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant XrefListModel::data(const QModelIndex& index, int role) const {
    const XrefRow* row = index.isValid() ? rows_.rowAt(index.row()) : nullptr;
    if (!row) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(cellText(*row, index.column()));
        case Qt::ForegroundRole:
            if (row->nestedOrUnreferenced == 1) {
                return kNestedText;  // wins over the colour of an added file
            }
            return row->addedFromFile == 1 ? QVariant(kAddedText) : QVariant();
        case Qt::BackgroundRole:
            return row->timestampDiffers == 1 ? QVariant(kNewerBackground) : QVariant();
        default:
            return {};
    }
}

QVariant XrefListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < kColumnCount) {
        return QString(columnTitle(section));
    }
    return {};
}

XrefListView::XrefListView(XrefRowList& rows, QWidget* parent)
    : QTableView(parent), rows_(rows), model_(rows, this) {
    setModel(&model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setShowGrid(true);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    // Every item is one line high: the view never measures rows it does not show.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setStretchLastSection(false);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { sortByColumn(column); });
    // The model is reset whenever the item count changes, which also clears the selection.
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (onSelection_) {
            onSelection_();
        }
    });
    connect(&model_, &QAbstractItemModel::modelReset, this, [this] {
        if (onSelection_) {
            onSelection_();
        }
    });
}

void XrefListView::redraw() {
    model_.refreshAll();
    viewport()->repaint();
}

void XrefListView::setColumnWidths(const std::array<int, kColumnCount>& widths) {
    for (int column = 0; column < kColumnCount; ++column) {
        setColumnWidth(column, widths[static_cast<std::size_t>(column)]);
    }
}

std::array<int, kColumnCount> XrefListView::columnWidths() const {
    std::array<int, kColumnCount> widths{};
    for (int column = 0; column < kColumnCount; ++column) {
        widths[static_cast<std::size_t>(column)] = columnWidth(column);
    }
    return widths;
}

std::vector<int> XrefListView::selectedPositions() const {
    std::vector<int> positions;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        positions.push_back(index.row());
    }
    std::sort(positions.begin(), positions.end());
    return positions;
}

void XrefListView::setItemSelected(int position, bool selected) {
    if (position < 0 || position >= model_.rowCount()) {
        return;
    }
    selectionModel()->select(model_.index(position, 0), (selected ? QItemSelectionModel::Select
                                                                  : QItemSelectionModel::Deselect) |
                                                            QItemSelectionModel::Rows);
}

void XrefListView::sortByColumn(int column) {
    const bool ascending = sortAscending_;
    sortAscending_ = !sortAscending_;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    rows_.sortByColumn(column, ascending);
    QApplication::restoreOverrideCursor();
    model_.refreshAll();
    viewport()->update();
}

}  // namespace lnkhold
