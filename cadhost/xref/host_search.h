#pragma once
// The host's side of the xref engine: the search path of the current profile, the searches of
// acedFindFile, and the xrefs of a drawing the host opens, with messages on the command line.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cadhost/xref/drawing_xrefs.h"

namespace cadhost::xref {

// The current profile's support search path and the host program's own folder.
SearchPath hostSearchPath();

// The searches of acedFindFile while one lives (on its thread; the innermost serves) are one
// pass: the profile's search path is read at the first search, and each folder is listed at
// most once. A change of the prefix, and anything the user does (userActed), start the pass
// afresh, so a file the user made or removed meanwhile is seen: the host opens a pass for each
// command it runs, and a long command (a dialog, a command-line form asking question after
// question) reads anew after each answer, key or click.
class FindFilePass {
  public:
    FindFilePass();
    ~FindFilePass();
    FindFilePass(const FindFilePass&) = delete;
    FindFilePass& operator=(const FindFilePass&) = delete;

    // The pass open on this thread; null when none is.
    static FindFilePass* current();
    // The user answered a prompt, pressed a key or clicked: what the passes read may be stale.
    static void userActed();

    // The full host path of the file, as findFile() gives it.
    std::optional<std::string> find(std::string_view name, const std::string& drawingFolder);

  private:
    FindFilePass* outer_;
    std::uint64_t generation_;
    std::uint64_t userActions_;
    std::optional<SearchPath> searchPath_;
    std::unique_ptr<platform::FolderListings> listings_;
};

// The file found as acedFindFile finds it: through the current pass, or a search of its own.
std::optional<std::string> findHostFile(std::string_view name, const std::string& drawingFolder);

// Loads the xrefs of a drawing the host has just opened; the caller keeps the result as long
// as the drawing is open and destroys it first.
std::unique_ptr<DrawingXrefs> openDrawingXrefs(AcDbDatabase& drawing);

}  // namespace cadhost::xref
