#pragma once
// The batch runner: one script run on each of many drawings by worker processes of the
// program itself, each taking a contiguous share of the drawings in order. Progress goes to
// standard error as drawings start; the workers' command-line output is passed on to standard
// output in drawing order; a summary ends the run.

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cadhost::app {

struct BatchOptions {
    std::string script;
    std::vector<std::string> drawings;
    unsigned jobs = 0;   // 0: one per processor
    std::string report;  // native path of the merged report, or ""
    // Options every worker is started with (--prefix DIR, --sdi).
    std::vector<std::string> hostArguments;
};

// The internal option that starts a worker: cadhost --batch-worker [host options]
// --each SCRIPT [--report PART] DRAWING...
inline constexpr const char* kBatchWorkerOption = "--batch-worker";

// The first drawing that names a file an earlier one names too (whatever the letter case or
// path), or nullopt.
std::optional<std::string> drawingNamedTwice(const std::vector<std::string>& drawings);

// Runs the batch; the exit code: 0 when no drawing failed, else 1.
int runBatch(const BatchOptions& options);

// [begin, end) of each of `jobs` contiguous shares of `count` drawings, none empty, the
// sizes differing by at most one.
std::vector<std::pair<std::size_t, std::size_t>> batchShares(std::size_t count, std::size_t jobs);

// Removes what a save of the drawing (as typed) by the dead process pid left beside it.
void removeSaveLeftovers(const std::string& drawing, int pid);

// How a worker ended, from its wait status: "it was killed by signal SIGABRT (Aborted)",
// "it exited with status 3".
std::string describeWorkerEnd(int waitStatus);

}  // namespace cadhost::app
