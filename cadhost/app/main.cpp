// cadhost [--prefix DIR] [--sdi] [-b SCRIPT] [DRAWING...]: the host program's command line;
// cadhost [--prefix DIR] --each SCRIPT [--jobs N] [--report FILE] DRAWING...: a batch.

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "cadhost/app/batch_runner.h"
#include "cadhost/app/batch_worker.h"
#include "cadhost/app/builtin_commands.h"
#include "cadhost/app/command_line.h"
#include "cadhost/app/demand_loader.h"
#include "cadhost/app/document_commands.h"
#include "cadhost/app/host_input.h"
#include "cadhost/app/host_registration.h"
#include "cadhost/app/interpreter.h"
#include "cadhost/app/program_signals.h"
#include "cadhost/app/system_variables.h"
#include "cadhost/app/terminal_input.h"
#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/rxdlinkr.h"
#include "cadhost/ui/file_dialog.h"
#include "platform/host_path.h"
#include "platform/prefix.h"

namespace {

using namespace cadhost::app;

struct Options {
    std::string prefix;
    bool sdi = false;
    std::string script;
    std::vector<std::string> drawings;
    std::string each;
    std::string jobs;
    std::string report;
    bool worker = false;  // a worker process of a batch
};

constexpr const char* kUsage =
    "usage: cadhost [--prefix DIR] [--sdi] [-b SCRIPT] [DRAWING...]\n"
    "       cadhost [--prefix DIR] --each SCRIPT [--jobs N] [--report FILE] DRAWING...\n";

// "" when the arguments are usable, else what is wrong with them.
std::string parse(int argc, char** argv, Options& options) {
    const std::pair<const char*, std::string Options::*> valued[] = {
        {"--prefix", &Options::prefix}, {"-b", &Options::script},       {"--each", &Options::each},
        {"--jobs", &Options::jobs},     {"--report", &Options::report},
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto* option = std::find_if(std::begin(valued), std::end(valued),
                                          [&](const auto& entry) { return arg == entry.first; });
        if (option != std::end(valued)) {
            if (i + 1 == argc) {
                return arg + " needs a value.";
            }
            options.*(option->second) = argv[++i];
        } else if (arg == "--sdi") {
            options.sdi = true;
        } else if (arg == kBatchWorkerOption) {
            options.worker = true;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else if (arg.starts_with("-")) {
            return "unknown option " + arg + ".";
        } else {
            options.drawings.push_back(arg);
        }
    }
    if (options.each.empty()) {
        if (!options.jobs.empty() || !options.report.empty()) {
            return "--jobs and --report go with --each.";
        }
        return options.sdi && options.drawings.size() > 1 ? "--sdi takes at most one drawing." : "";
    }
    if (!options.script.empty()) {
        return "-b and --each do not go together.";
    }
    if (options.drawings.empty()) {
        return "--each needs at least one drawing.";
    }
    if (!options.jobs.empty() &&
        (options.jobs.find_first_not_of("0123456789") != std::string::npos ||
         options.jobs.size() > 4 || std::stoi(options.jobs) < 1)) {
        return "--jobs takes a number from 1 to 9999.";
    }
    return "";
}

// The batch runner starts its workers with the options that set up the host.
BatchOptions batchOptions(const Options& options) {
    BatchOptions batch{options.each,
                       options.drawings,
                       options.jobs.empty() ? 0u : static_cast<unsigned>(std::stoi(options.jobs)),
                       options.report,
                       {}};
    if (!options.prefix.empty()) {
        batch.hostArguments = {"--prefix", options.prefix};
    }
    if (options.sdi) {
        batch.hostArguments.push_back("--sdi");
    }
    return batch;
}

bool openStartDrawings(const Options& options) {
    AcApDocManager* documents = acDocManagerPtr();
    for (const std::string& drawing : options.drawings) {
        std::optional<std::string> path = typedHostPath(drawing, ".dxf");
        AcApDocument* document = path ? documents->openDocument(*path, false) : nullptr;
        if (!document) {
            return false;
        }
        documents->makeCurrent(document);
    }
    if (options.drawings.empty()) {
        documents->makeCurrent(documents->newDocument());
    }
    return true;
}

// Runs the commands of the script, or of standard input; the exit code.
int runCommandLine(const Options& options) {
    if (!openStartDrawings(options)) {
        return 1;
    }
    // A person at a terminal edits lines and cancels with Esc or Ctrl+C; scripts and pipes
    // are read as they are.
    const bool atTerminal =
        options.script.empty() && isatty(STDIN_FILENO) != 0 && isatty(STDOUT_FILENO) != 0;
    handleProgramSignals(atTerminal);
    std::unique_ptr<InputSource> input =
        atTerminal ? terminalSource(platform::currentPrefix().root() / "command-history")
        : options.script.empty()
            ? streamSource(std::cin, "standard input", false, isatty(STDIN_FILENO) != 0)
            : scriptFileSource(options.script);
    if (!input) {
        std::cerr << "cadhost: cannot open script " << options.script << "\n";
        return 1;
    }
    commandLine().pushSource(std::move(input));
    return interpreter().run(!options.script.empty());
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const std::string wrong = parse(argc, argv, options); !wrong.empty()) {
        std::cerr << kUsage << wrong << "\n";
        return 2;
    }
    if (!options.prefix.empty()) {
        if (std::string error = platform::setCurrentPrefix(options.prefix); !error.empty()) {
            std::cerr << "cadhost: " << error << "\n";
            return 2;
        }
    }
    // The prefix is set up and the host registered once, before a batch starts its workers.
    if (std::string error = registerHost(); !error.empty()) {
        std::cerr << "cadhost: " << error << "\n";
    }
    if (!options.each.empty() && !options.worker) {
        if (!scriptFileSource(options.each)) {
            std::cerr << "cadhost: cannot open script " << options.each << "\n";
            return 2;
        }
        return runBatch(batchOptions(options));
    }
    addBuiltins(interpreter());
    setFileDialog(cadhost::ui::chooseDrawingFile);
    if (options.sdi) {
        systemVariables().set("SDI", 1);
    }
    loadStartupApplications();
    const int exitCode = options.worker
                             ? runBatchWorker(options.each, options.drawings, options.report)
                             : runCommandLine(options);
    closeAllDocuments();
    acrxDynamicLinker->unloadAll();
    return exitCode;
}
