#pragma once
// Reads DWG drawings through a helper process: Node running our script `dwg/dwg_reader.mjs`
// (beside the host's library), which reads each drawing with LibreDWG compiled to WebAssembly and
// hands it back as DXF text. The process is started at the first read and serves every read
// after it until the reader is destroyed, so one pass over a drawing's xrefs starts it once.
//
// The helper's faults stay in the helper: a read that does not answer within the time limit
// stops the process, a process that dies or answers nonsense fails that read only, and the next
// read starts a fresh process. Without Node or the script every read fails with a reason that
// names what is missing.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cadhost/sdk/dbmain.h"

namespace cadhost::xref {

struct DwgDrawing {
    std::string dxf;                   // the drawing as DXF text
    std::vector<std::string> leftOut;  // entity types the helper did not convert
};

class DwgReader {
  public:
    struct Setup {
        std::filesystem::path node;                  // empty: not found
        std::filesystem::path script;                // the helper script
        std::chrono::milliseconds timeLimit{30000};  // for each drawing, start included
    };
    // Node from $CADHOST_NODE or the PATH ("node", then "nodejs"); the script from
    // $CADHOST_DWG_READER or beside the host's library; the time limit from
    // $CADHOST_DWG_TIME_LIMIT_MS.
    static Setup defaultSetup();

    explicit DwgReader(Setup setup = defaultSetup());
    ~DwgReader();
    DwgReader(const DwgReader&) = delete;
    DwgReader& operator=(const DwgReader&) = delete;

    // The drawing at `native`, or nothing with `reason` set.
    std::optional<DwgDrawing> read(const std::filesystem::path& native, std::string& reason);
    // How many helper processes this reader started.
    int starts() const { return starts_; }

  private:
    bool start(std::string& reason);
    // Ends the process: closes its input and waits a moment for it (unless `kill`), then kills
    // it. Its wait status.
    int stop(bool kill);
    bool answer(std::string& body, std::string& reason);

    Setup setup_;
    pid_t pid_ = -1;
    int requests_ = -1;  // the helper's standard input
    int answers_ = -1;   // its descriptor 3
    int starts_ = 0;
    std::string missing_;  // what makes every read fail (no Node, no script)
};

// The drawing of a DWG file read by `reader` into a new database (marked as read from DWG, with
// the entity types left out); null with `reason` set when it cannot be read.
std::unique_ptr<AcDbDatabase> readDwgDatabase(const std::filesystem::path& native,
                                              DwgReader& reader, std::string& reason);

// Whether the file starts like a drawing in DWG form ("AC10..").
bool isDwgFile(const std::filesystem::path& native);

}  // namespace cadhost::xref
