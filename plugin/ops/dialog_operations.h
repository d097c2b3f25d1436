#pragma once
// The xref dialog without its window: the row list it owns and the operations on it, which
// reach the user only through a DialogView.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "adsdef.h"
#include "plugin/model/xref_row_list.h"
#include "plugin/ops/dialog_view.h"

class AcDbDatabase;

namespace lnkhold {

inline constexpr int kColumnCount = 6;

// The drawing's space before an operation: CVPORT in the high half (0 when it cannot be
// read), TILEMODE (1 or 0) in the low half.
using SpaceState = std::uint32_t;

class DialogOperations {
  public:
    explicit DialogOperations(DialogView& view) : view_(view) {}

    XrefRowList& rows() { return rows_; }
    const XrefRowList& rows() const { return rows_; }
    XrefRow* rowAt(int position) const { return rows_.rowAt(position); }

    // What the dialog does once its window exists, apart from the window itself: project
    // search path, options, settings, the first full refresh, the host's "sdi" mode and the
    // buttons for no selection.
    void start();
    // The list's column widths as stored ("Header1".."Header6", 100 pixels when missing).
    static std::array<int, kColumnCount> storedColumnWidths();
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
    // After every change of the selection: the status line and the buttons.
    void selectionChanged();
    // Enables the buttons for the current selection.
    void updateButtons();
    // The host's "sdi" variable as read at start: non-zero when it shows one drawing at a time.
    int sdiMode() const { return sdiMode_; }

    // Add: asks for drawing files and adds a pending row for each new one.
    void add();
    static platform::FileDialogRequest addFileRequest();
    // Adds a pending row per file (host paths, in order); a file whose name is already a row's
    // or a block's of the drawing is passed over. The number of rows added.
    int addFiles(const std::vector<std::string>& hostPaths);
    // Remove: drops the selected rows that are not in the drawing; clears the selection.
    void removeSelected();
    void selectAll();
    void clearSelection();
    // Visretain: the drawing's VISRETAIN follows the option at once.
    void applyVisretain();

    // Detach, Unload and Reload of the selected xrefs (rows in the drawing only), each
    // followed by the list rebuilt from the drawing; Detach first remembers the list in the
    // marker, so a detached xref comes back as a pending row. reloadSelected alone does not
    // rebuild the list (RePath uses it so).
    void detachSelected();
    void unloadSelected();
    void reloadSelected();
    void reloadAndRefresh();

    // Attach and Overlay of the selected pending rows, each on the insertion layer and in model
    // space; the layer and space are put back afterwards and the drawing's rows rescanned.
    void attachSelected();
    void overlaySelected();
    // Attaches one pending row as Add does with "Automatically Attach" (no list refresh);
    // true when the host attached it.
    bool attachRow(XrefRow* row);
    // The layer a new xref of that name goes on: "0_<name>", "0", or empty for the current one.
    std::string insertionLayerName(const std::string& xrefName) const;
    // Makes the insertion layer current, creating it when missing; its id, null when nothing
    // was made current.
    AcDbObjectId useInsertionLayer(const std::string& xrefName);
    static SpaceState captureSpaceState();
    // From paper space of a layout into model space through a viewport; elsewhere nothing.
    static void enterModelSpace();
    // Back to paper space when the state says the user was there.
    static void restoreSpace(SpaceState before);

    // Insert: binds the selected xrefs as blocks; the bound rows leave the list, the others
    // keep their order.
    void bindSelected();

    // RePath: points the selected rows at the folder of a drawing the user picks (first at
    // the bare name when "Acad Path" is ticked), then reloads them, even when cancelled.
    void repathSelected();
    static platform::FileDialogRequest repathFileRequest();
    // Repaths every selected row, pending ones too, to a folder ending in a backslash.
    void applyFolder(const std::string& folder);
    // Strip Path: the selected xrefs store their file name only; the list is rebuilt.
    void stripPathSelected();
    static void stripPaths(const AcDbObjectIdArray& ids);

    // Open Dwg: keeps the files of the selected rows for the open stage and closes the
    // dialog as OK does.
    void openSelected();
    // Whether the dialog was closed by Open Dwg.
    bool openRequested() const { return openRequested_; }

    // Save LKH: writes the full path of every row to a set file the user chooses (nothing
    // when the list is empty). Load LKH: adds a pending row per new name the chosen file
    // lists. A file that cannot be written or read is named on the command line with the
    // reason, and the list stays as it was.
    void saveSetFile();
    void loadSetFile();
    // The drawing's name with ".lkh" instead of its extension; empty without a drawing.
    std::string defaultSetFileName() const;
    static platform::FileDialogRequest setFileRequest(bool save, const std::string& initialName);
    // A pending row per entry of a set file's text whose name no row has; the rows sorted by
    // name. The number of rows added.
    int addRowsFromSetText(std::string_view text);

  private:
    void attachOrOverlaySelected(bool overlay);
    // Attaches or overlays a pending row on its insertion layer; false for a row already in
    // the drawing and for a file the host refused.
    bool attachPending(bool overlay, XrefRow& row);
    void showRows();
    // The drawing rows at the selected positions, lowest position first.
    std::vector<XrefRow*> selectedDrawingRows() const;

    DialogView& view_;
    XrefRowList rows_;
    int sdiMode_ = 0;
    bool openRequested_ = false;
};

}  // namespace lnkhold
