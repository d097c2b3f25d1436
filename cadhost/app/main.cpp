// cadhost [--prefix DIR] [--sdi] [-b SCRIPT] [DRAWING...]: the host program's command line.

#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cadhost/app/builtin_commands.h"
#include "cadhost/app/command_line.h"
#include "cadhost/app/demand_loader.h"
#include "cadhost/app/document_commands.h"
#include "cadhost/app/host_input.h"
#include "cadhost/app/host_registration.h"
#include "cadhost/app/interpreter.h"
#include "cadhost/app/system_variables.h"
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
};

constexpr const char* kUsage = "usage: cadhost [--prefix DIR] [--sdi] [-b SCRIPT] [DRAWING...]\n";

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "--prefix" || arg == "-b") && i + 1 < argc) {
            (arg == "--prefix" ? options.prefix : options.script) = argv[++i];
        } else if (arg == "--sdi") {
            options.sdi = true;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else if (arg.starts_with("-")) {
            return false;
        } else {
            options.drawings.push_back(arg);
        }
    }
    return !(options.sdi && options.drawings.size() > 1);
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

std::unique_ptr<InputSource> scriptSource(const std::string& script) {
    std::optional<std::string> path = typedHostPath(script, ".scr");
    platform::PathResult<std::filesystem::path> native =
        platform::hostToNative(path ? *path : std::string());
    return native.ok() ? fileSource(native.value, script) : nullptr;
}

void closeAll() {
    AcApDocManager* documents = acDocManagerPtr();
    while (documents->documentCount() > 0) {
        std::unique_ptr<AcApDocumentIterator> it(documents->newAcApDocumentIterator());
        AcApDocument* document = it->document();
        if (document->isModified()) {
            commandLine().print(std::string("\nUnsaved changes to ") + document->fileName() +
                                " discarded.\n");
        }
        documents->closeDocument(document, false);
    }
    commandLine().endLine();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        std::cerr << kUsage << "--sdi takes at most one drawing.\n";
        return 2;
    }
    if (!options.prefix.empty()) {
        if (std::string error = platform::setCurrentPrefix(options.prefix); !error.empty()) {
            std::cerr << "cadhost: " << error << "\n";
            return 2;
        }
    }
    if (std::string error = registerHost(); !error.empty()) {
        std::cerr << "cadhost: " << error << "\n";
    }
    addBuiltins(interpreter());
    setFileDialog(cadhost::ui::chooseDrawingFile);
    if (options.sdi) {
        systemVariables().set("SDI", 1);
    }
    loadStartupApplications();
    int exitCode = 1;
    if (openStartDrawings(options)) {
        std::unique_ptr<InputSource> input =
            options.script.empty()
                ? streamSource(std::cin, "standard input", false, isatty(STDIN_FILENO) != 0)
                : scriptSource(options.script);
        if (input) {
            commandLine().pushSource(std::move(input));
            exitCode = interpreter().run(!options.script.empty());
        } else {
            std::cerr << "cadhost: cannot open script " << options.script << "\n";
        }
    }
    closeAll();
    acrxDynamicLinker->unloadAll();
    return exitCode;
}
