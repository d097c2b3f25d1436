#pragma once
// The xrefs of one open drawing: finds each xref's file, loads it read-only, and keeps the
// status of every xref block record. Attachments inside a loaded xref load too and get block
// records of their own in the drawing (nested xrefs); overlays inside an xref do not. Each
// record is visited once per update, so circular references end.
//
// The document layer makes one object per open drawing and destroys it before the drawing.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "cadhost/sdk/dbsymtb.h"
#include "cadhost/xref/file_search.h"

namespace cadhost::xref {

// Receives command-line messages, each starting with "\n".
using MessageSink = std::function<void(const std::string&)>;

// The word the command line shows for an xref status ("Loaded", "Not Found" ...).
std::string statusWord(AcDb::XrefStatus status);

class DrawingXrefs {
  public:
    DrawingXrefs(AcDbDatabase& drawing, SearchPath searchPath, MessageSink messages);
    ~DrawingXrefs();
    DrawingXrefs(const DrawingXrefs&) = delete;
    DrawingXrefs& operator=(const DrawingXrefs&) = delete;

    // The object that keeps the xrefs of a drawing; null when none does.
    static DrawingXrefs* of(const AcDbDatabase* drawing);

    AcDbDatabase& drawing() const { return drawing_; }
    const SearchPath& searchPath() const { return searchPath_; }
    // The drawing's own folder, where relative xref paths start.
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
    // Reads a drawing as an xref would be read; the reason it cannot be read otherwise.
    static std::unique_ptr<AcDbDatabase> readDrawing(const std::string& hostPath,
                                                     std::string& reason);

  private:
    struct LoadedFile {
        std::unique_ptr<AcDbDatabase> database;  // null when it could not be read
        std::string reason;
    };
    struct Visit;

    const LoadedFile& load(const std::string& foundPath, const std::string& xrefName,
                           std::map<std::string, LoadedFile, FoldedLess>& previous);
    AcDbObjectId nestedRecord(const std::string& name, const std::string& path);
    void forgetStates();

    AcDbDatabase& drawing_;
    SearchPath searchPath_;
    MessageSink messages_;
    std::map<std::string, LoadedFile, FoldedLess> files_;  // by found path
    std::unordered_map<AcDbObjectId, std::string> found_;
    std::vector<AcDbObjectId> stated_;  // records whose state this object set
};

}  // namespace cadhost::xref
