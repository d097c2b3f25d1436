#pragma once
// A host session inside the test process: a fresh prefix, the built-in commands, output
// captured, and input given as script text. Everything loaded or opened is dropped after.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <list>
#include <memory>
#include <sstream>
#include <string>

#include "cadhost/app/command_line.h"
#include "cadhost/app/host_registration.h"
#include "cadhost/app/interpreter.h"
#include "cadhost/app/system_variables.h"
#include "cadhost/host_console.h"
#include "cadhost/sdk/acdocman.h"
#include "cadhost/sdk/rxdlinkr.h"
#include "platform/host_path.h"
#include "support/temp_prefix.h"

namespace apptest {

class HostSession : public ::testing::Test {
  protected:
    void SetUp() override {
        console_ = std::make_unique<HostConsole>();
        ASSERT_EQ(cadhost::app::registerHost(), "");
    }

    void TearDown() override {
        closeHostSession();
        console_.reset();
    }

    int run(const std::string& script) { return console_->run(script); }
    std::string output() { return console_->output(); }

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
    std::unique_ptr<HostConsole> console_;
};

}  // namespace apptest
