#pragma once
// The xref dialog without its window: the row list it owns and the operations on it, which
// reach the user only through a DialogView.

#include <array>
#include <optional>
#include <string>

#include "cadhost/sdk/adsdef.h"
#include "plugin/model/xref_row_list.h"
#include "plugin/ops/dialog_view.h"

class AcDbDatabase;

namespace lnkhold {

inline constexpr int kColumnCount = 6;

class DialogOperations {
  public:
    explicit DialogOperations(DialogView& view) : view_(view) {}

    XrefRowList& rows() { return rows_; }
    const XrefRowList& rows() const { return rows_; }
    XrefRow* rowAt(int position) const { return rows_.rowAt(position); }

    // What the dialog does once its window exists, apart from the window itself: project
    // search path, options, settings and the first full refresh.
    void start();
    // OK: with every layer unlocked, VISRETAIN follows its option, the list goes into the
    // marker and the settings are stored. The number of rows written to the marker.
    int accept(const std::array<int, kColumnCount>& columnWidths);

    // Appends rows for the drawing's xref blocks; the new count.
    int scanDrawing();
    // After Attach or Overlay: the drawing rows anew, the rows made from files kept.
    void rescanAfterAttach();
    // Every row anew: the drawing's, then the remembered ones of the marker.
    void fullRefresh();

    int writeMarker(AcDbDatabase* database);
    // Adds the marker's remembered files as pending rows; the row count afterwards.
    int readMarker();
    // Applies one marker chain: 1000 groups become pending rows unless a row has that name;
    // the first two 1070 groups set "Acad Path" and "XS Retain".
    int applyMarkerXdata(const resbuf* chain);

    // The status line for the current selection; nothing when it is to keep its text (a
    // nested xref whose containing xref has no row).
    std::optional<std::string> selectionText() const;

  private:
    void showRows();

    DialogView& view_;
    XrefRowList rows_;
};

}  // namespace lnkhold
