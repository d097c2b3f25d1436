#pragma once
// A host session inside the test process: a fresh prefix, the built-in commands, output
// captured, and input given as script text. Everything loaded or opened is dropped after.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <list>
#include <sstream>
#include <string>

#include "cadhost/app/builtin_commands.h"
#include "cadhost/app/command_line.h"
#include "cadhost/app/host_registration.h"
#include "cadhost/app/interpreter.h"
#include "cadhost/app/system_variables.h"
#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/rxdlinkr.h"
#include "platform/host_path.h"
#include "support/temp_prefix.h"

namespace apptest {

class HostSession : public ::testing::Test {
  protected:
    void SetUp() override {
        static const bool builtinsAdded = [] {
            cadhost::app::addBuiltins(cadhost::app::interpreter());
            return true;
        }();
        ASSERT_TRUE(builtinsAdded);
        ASSERT_EQ(cadhost::app::registerHost(), "");
        cadhost::app::commandLine().setOutput(out_);
    }

    void TearDown() override {
        using namespace cadhost::app;
        while (acDocManagerPtr()->documentCount() > 0) {
            std::unique_ptr<AcApDocumentIterator> it(acDocManagerPtr()->newAcApDocumentIterator());
            acDocManagerPtr()->closeDocument(it->document(), false);
        }
        acrxDynamicLinker->unloadAll();
        while (commandLine().source()) {
            commandLine().popSource();
        }
        systemVariables().set("SDI", 0);
        commandLine().setOutput(std::cout);
    }

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

    static std::string modulePath(const std::string& name) {
        return platform::nativeToHost(std::filesystem::path(TEST_MODULE_DIR) / (name + ".arx"));
    }

    // A drawing file in the scratch folder, saved from a new drawing; its host path.
    std::string makeDrawing(const std::string& name) {
        const std::filesystem::path native = prefix_.scratch() / name;
        AcDbDatabase database;
        EXPECT_EQ(database.saveAs(native.c_str()), Acad::eOk);
        return platform::nativeToHost(native);
    }

    testsupport::TempPrefix prefix_;

  private:
    std::ostringstream out_;
    std::list<std::istringstream> inputs_;
};

}  // namespace apptest
