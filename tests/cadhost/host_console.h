#pragma once
// The host's command line inside a test process, and the end of a host session.

#include <iostream>
#include <list>
#include <memory>
#include <sstream>
#include <string>

#include "cadhost/app/builtin_commands.h"
#include "cadhost/app/command_line.h"
#include "cadhost/app/interpreter.h"
#include "cadhost/app/system_variables.h"
#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/rxdlinkr.h"

namespace apptest {

// The host's command line in the test process: the built-in commands, output captured, and
// input given as script text.
class HostConsole {
  public:
    HostConsole() {
        static const bool builtinsAdded = [] {
            cadhost::app::addBuiltins(cadhost::app::interpreter());
            return true;
        }();
        (void)builtinsAdded;
        cadhost::app::commandLine().setOutput(out_);
    }
    ~HostConsole() {
        using namespace cadhost::app;
        while (commandLine().source()) {
            commandLine().popSource();
        }
        commandLine().setOutput(std::cout);
    }
    HostConsole(const HostConsole&) = delete;
    HostConsole& operator=(const HostConsole&) = delete;

    // Runs script text as a batch; the exit code.
    int run(const std::string& script) {
        std::istringstream& input = inputs_.emplace_back(script);
        cadhost::app::commandLine().pushSource(
            cadhost::app::streamSource(input, "test script", true, false));
        return cadhost::app::interpreter().run(true);
    }

    // Output since the last call.
    std::string output() {
        std::string text = out_.str();
        out_.str("");
        return text;
    }

  private:
    std::ostringstream out_;
    std::list<std::istringstream> inputs_;
};

// Closes every document and unloads every module; "SDI" back to 0.
inline void closeHostSession() {
    using namespace cadhost::app;
    while (acDocManagerPtr()->documentCount() > 0) {
        std::unique_ptr<AcApDocumentIterator> it(acDocManagerPtr()->newAcApDocumentIterator());
        acDocManagerPtr()->closeDocument(it->document(), false);
    }
    acrxDynamicLinker->unloadAll();
    systemVariables().set("SDI", 0);
}

}  // namespace apptest
