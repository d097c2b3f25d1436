#pragma once
// The xref list of the dialog: a six-column report over the dialog's rows that keeps no data
// of its own. The model knows only how many items there are; every text and colour is built
// from the row when the view asks for it, so a long list costs no memory beyond its rows.

#include <QAbstractTableModel>
#include <QTableView>
#include <array>
#include <functional>
#include <vector>

#include "plugin/model/xref_row_list.h"
#include "plugin/ops/dialog_operations.h"

namespace lnkhold {

class XrefListModel : public QAbstractTableModel {
  public:
    XrefListModel(const XrefRowList& rows, QObject* parent);

    // The number of items; the view asks again for everything it shows.
    void setItemCount(int count);
    // The rows changed order or content but not number: everything shown is asked again.
    void refreshAll();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    const XrefRowList& rows_;
    int count_ = 0;
};

class XrefListView : public QTableView {
  public:
    // The rows are the dialog's; the view re-orders them when a column header is clicked.
    XrefListView(XrefRowList& rows, QWidget* parent);

    void setItemCount(int count) { model_.setItemCount(count); }
    // The rows changed in place: shown again at once, selection kept.
    void redraw();

    // Column widths in pixels, left to right.
    void setColumnWidths(const std::array<int, kColumnCount>& widths);
    std::array<int, kColumnCount> columnWidths() const;

    std::vector<int> selectedPositions() const;
    void setItemSelected(int position, bool selected);

    // Called after every change of the selection (the dialog's status line and buttons).
    void setSelectionHandler(std::function<void()> handler) { onSelection_ = std::move(handler); }

    // A click on a column header: the rows re-ordered by that column, ascending and
    // descending in turn with one direction for all columns.
    void sortByColumn(int column);

  private:
    XrefRowList& rows_;
    XrefListModel model_;
    std::function<void()> onSelection_;
    bool sortAscending_ = true;
};

}  // namespace lnkhold
