#pragma once
// One worker process of a batch: each of its drawings is opened as the only document, the
// batch script runs on it, and it is closed again with unsaved changes discarded. The worker
// tells the runner, through a pipe, when a drawing starts and how it ended.

#include <string>
#include <vector>

namespace cadhost::app {

enum class DrawingResult { Changed, Unchanged, Failed };

struct DrawingOutcome {
    DrawingResult result = DrawingResult::Unchanged;
    std::string reason;  // why it failed, in words
};

// Runs the script on one drawing (host or native path as typed). Changed means the drawing's
// file was written while the script ran. Whatever the script did, no drawing stays open,
// no input or queued command text is left, and the application's settings the script changed
// are set back, so the next drawing starts as this one did.
DrawingOutcome runScriptOnDrawing(const std::string& drawing, const std::string& script);

// The fd a worker writes its messages to: "start I" when drawing I (of its own list, from 0)
// starts, "done I changed|unchanged|failed REASON" when it ends; one line each.
inline constexpr int kBatchControlFd = 3;

// The worker's loop over its drawings. reportPart is the native path of the file its scripts
// and modules write report lines to (BATCHREPORT), or "". Returns the exit code, 0.
int runBatchWorker(const std::string& script, const std::vector<std::string>& drawings,
                   const std::string& reportPart);

// The value of the system variable BATCHREPORT: the host path of this worker's report part;
// "" outside a batch or when the batch writes no report.
const std::string& batchReport();
void setBatchReport(std::string hostPath);

const char* resultWord(DrawingResult result);

}  // namespace cadhost::app
