#pragma once
// The xrefs of one open drawing: finds each xref's file, loads it read-only, and keeps the
// status of every xref block record. Attachments inside a loaded xref load too and get block
// records of their own in the drawing (nested xrefs); overlays inside an xref do not. Each
// record is visited once per update, so circular references end.
//
// The document layer makes one object per open drawing and destroys it before the drawing.
//
// What it keeps (statuses, loaded files, what the last update found) is part of the drawing's
// transactions: an abort puts back what it kept when the transaction started, as the abort puts
// back the drawing's records.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cadhost/db/database_state.h"
#include "cadhost/sdk/dbsymtb.h"
#include "cadhost/xref/drawing_scan.h"
#include "cadhost/xref/file_search.h"

namespace cadhost::xref {

class DwgReader;

// Receives command-line messages, each starting with "\n".
using MessageSink = std::function<void(const std::string&)>;

// The word the command line shows for an xref status ("Loaded", "Not Found" ...).
std::string statusWord(AcDb::XrefStatus status);

class DrawingXrefs : private db::TransactionWatcher {
  public:
    DrawingXrefs(AcDbDatabase& drawing, SearchPath searchPath, MessageSink messages);
    ~DrawingXrefs();
    DrawingXrefs(const DrawingXrefs&) = delete;
    DrawingXrefs& operator=(const DrawingXrefs&) = delete;

    // The object that keeps the xrefs of a drawing; null when none does.
    static DrawingXrefs* of(const AcDbDatabase* drawing);

    AcDbDatabase& drawing() const { return drawing_; }
    const SearchPath& searchPath() const { return searchPath_; }
    // The drawing's full host path ("" for a drawing never saved), worked out again only when
    // its file name changes; and its folder, where relative xref paths start.
    const std::string& drawingPath() const;
    std::string drawingFolder() const;
    void message(const std::string& text) const;

    // Finds and loads every xref again and sets each record's status. Files already loaded
    // are kept, except those of the records in `reread`, which are read anew.
    void update(const std::vector<AcDbObjectId>& reread = {});
    // As update(), then tells on the command line each xref whose status changed and each one
    // whose file is now found at another path. For a drawing saved in another folder, where its
    // relative xref paths now start.
    void updateAndReport();
    // Where the record's file was found by the last update; "" when it was not.
    std::string foundPath(AcDbObjectId block) const;
    // The drawing's xref records as scanXrefs() gives them; the scan is kept, with the
    // statuses read anew, until the drawing's block records, blocks or entities change.
    std::vector<XrefRecord> records();
    // The xref records of a drawing this object loaded, scanned once (again only when that
    // drawing changed); null for a drawing it does not hold.
    const std::vector<XrefRecord>* xrefsOfLoaded(const AcDbDatabase* loaded) const;

    // Operations on one xref need not find and load every xref again: they ask isCurrent()
    // before they change the drawing, then call removed() or added(), which give the states
    // update() would give (with the files on disk as they were), changing only the records the
    // operation touched. Whenever more may change, these run update() instead.
    //
    // True when the states follow the drawing as it is: nothing changed the drawing since the
    // last update (or step), no object of it is open for write, and that update found nothing
    // it reports anew every time (a drawing that is its own xref, a name held by a block).
    bool isCurrent() const;
    // After the records stopped being xrefs of the drawing (erased, or bound as blocks).
    void removed(const std::vector<AcDbObjectId>& gone, bool wasCurrent);
    // After a new xref was attached or overlaid with one reference in the drawing.
    void added(AcDbObjectId record, bool wasCurrent);
    // How many times update() ran, whether called or in place of a step.
    int updates() const { return updates_; }
    // Reads a drawing as an xref would be read; the reason it cannot be read otherwise. A DWG
    // file is read by `dwg`, or by a reader of its own when that is null. A search pass that
    // found the file gives its native path without reading the folders again.
    static std::unique_ptr<AcDbDatabase> readDrawing(const std::string& hostPath,
                                                     std::string& reason, DwgReader* dwg = nullptr,
                                                     platform::FolderListings* pass = nullptr);

  private:
    struct LoadedFile {
        // Null when it could not be read. Shared with what transactions keep to go back to.
        std::shared_ptr<AcDbDatabase> database;
        std::string reason;
        int users = 0;  // the records of the last update that loaded it
        // The xref records of the database, as scanned at `scanned` (its revision).
        std::vector<XrefRecord> xrefs;
        std::optional<std::uint64_t> scanned;
        const std::vector<XrefRecord>& scan();
    };
    using Files = std::map<std::string, LoadedFile, FoldedLess>;
    struct Visit;
    // What the last update did with each xref record of the drawing.
    struct Outcome {
        std::string name;
        bool inserted = false;         // the drawing references it
        bool visited = false;          // it was reached, from the drawing or a loaded file
        AcDbObjectId from;             // the record whose file reached it first; null: the drawing
        std::string file;              // its key in files_ when it loaded a file
        LoadedFile* loaded = nullptr;  // that entry of files_
    };

    Files::iterator load(const std::string& foundPath, const std::string& xrefName, Files& previous,
                         DwgReader& dwg, platform::FolderListings* pass);
    AcDbObjectId nestedRecord(const std::string& name, const std::string& path);
    void forgetStates();
    // True when no object of the drawing is open for write, the drawing's path is the one of
    // the last update, and that update reported nothing it repeats.
    bool canStep() const;
    bool writerOpen() const;
    void finishStep();
    std::array<std::uint64_t, 3> revisions() const;
    void release(const std::string& file);
    // Whether a record's loaded file inserts an xref of one of the names.
    bool insertsAny(const Outcome& outcome, const std::vector<std::string>& names);

    // What this object keeps, as a transaction's abort puts it back.
    struct Kept {
        struct State {
            AcDbObjectId block;
            AcDb::XrefStatus status;
            AcDbDatabase* loaded;
        };
        Files files;
        std::unordered_map<AcDbObjectId, std::string> found;
        std::vector<State> states;  // of the records in `stated`
        std::unordered_map<AcDbObjectId, Outcome> outcomes;
        bool updated;
        bool repeats;
        std::array<std::uint64_t, 3> revisions;
        std::string ownPath;
        std::vector<XrefRecord> records;
        std::optional<std::array<std::uint64_t, 3>> scanned;
    };
    // An active transaction of the drawing: the drawing's revisions when it started, and what
    // this object kept then, taken at its first change since (null until then).
    struct Frame {
        AcTransaction* transaction;
        std::array<std::uint64_t, 3> startRevisions;
        std::shared_ptr<const Kept> kept;
    };
    // Called before this object changes what it keeps.
    void remember();
    void restore(const Kept& kept);
    void transactionStarted(AcTransaction& transaction) override;
    void transactionEnded(AcTransaction& transaction) override;
    void transactionAborted(AcTransaction& transaction) override;

    AcDbDatabase& drawing_;
    SearchPath searchPath_;
    MessageSink messages_;
    Files files_;  // by found path
    std::unordered_map<const AcDbDatabase*, LoadedFile*> byDatabase_;
    std::unordered_map<AcDbObjectId, std::string> found_;
    std::vector<AcDbObjectId> stated_;  // records whose state this object set
    std::unordered_map<AcDbObjectId, Outcome> outcomes_;
    bool updated_ = false;
    int updates_ = 0;
    bool repeats_ = false;  // the last update reported what it reports every time
    // The revisions of what the states follow (the drawing's block records, blocks and entities)
    // after the last update or step.
    std::array<std::uint64_t, 3> revisions_{};
    std::string ownPath_;                                  // the drawing's path at the last update
    std::vector<XrefRecord> records_;                      // the last scan of the drawing
    std::optional<std::array<std::uint64_t, 3>> scanned_;  // the revisions it holds for
    std::vector<Frame> frames_;                            // innermost last
    // The drawing's native file name and its host path.
    mutable std::optional<std::pair<std::string, std::string>> drawingPath_;
};

}  // namespace cadhost::xref
