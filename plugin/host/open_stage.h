#pragma once
// "Open Dwg" closes the dialog with OK and leaves the drawings to open here; once the command's
// transaction has ended they are opened, and LINKHOLDSD, queued for the host's application
// context, makes the last of them the active document.

#include <string>
#include <vector>

class AcApDocument;

namespace lnkhold {

struct OpenStage {
    // Full host paths of the drawings to open, in list order.
    std::vector<std::string> pendingOpenPaths;
    // What LINKHOLDSD activates; null when there is nothing to activate.
    AcApDocument* documentToActivate = nullptr;
};

// The module's one open stage.
OpenStage& openStage();

// Opens every pending path; a drawing that is open already (same path, ignoring letter case)
// is taken as it is. The document the last path left, or null; prints why nothing was opened.
AcApDocument* openPendingDrawings();

// Opens one drawing through the host's automation object; the document, or null after a
// message on the command line.
AcApDocument* openThroughAutomation(const std::string& path);

// After the first stage: opens the pending drawings and queues LINKHOLDSD for the document to
// activate.
void runOpenStage();

}  // namespace lnkhold
