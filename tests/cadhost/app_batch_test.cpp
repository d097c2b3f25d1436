// One drawing of a batch in the host (open, script, close, state set back), the shares of
// the workers, the merged report and how a worker's end is described.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app_test_support.h"
#include "cadhost/app/batch_report.h"
#include "cadhost/app/batch_runner.h"
#include "cadhost/app/batch_worker.h"
#include "cadhost/app/command_line.h"
#include "cadhost/db/dxf_file.h"
#include "cadhost/sdk/aced.h"
#include "cadhost/sdk/acutads.h"

namespace {

namespace fs = std::filesystem;
using cadhost::app::DrawingOutcome;
using cadhost::app::DrawingResult;
using ::testing::HasSubstr;
using ::testing::Not;

std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class BatchDrawing : public apptest::HostSession {
  protected:
    fs::path native(const std::string& name) const { return prefix_.scratch() / name; }

    DrawingOutcome runOn(const std::string& drawing, const std::string& script) {
        writeFile(native("batch.scr"), script);
        return cadhost::app::runScriptOnDrawing(native(drawing).string(),
                                                native("batch.scr").string());
    }
};

TEST_F(BatchDrawing, SavedIsChangedAndUnsavedWorkIsDiscarded) {
    makeDrawing("plan.dxf");
    const std::string before = readFile(native("plan.dxf"));

    DrawingOutcome outcome = runOn("plan.dxf", "-LAYER\nMake\nWALLS\n\n");
    EXPECT_EQ(outcome.result, DrawingResult::Unchanged);
    EXPECT_THAT(output(), HasSubstr("Unsaved changes to "));
    EXPECT_EQ(acDocManagerPtr()->documentCount(), 0);
    EXPECT_EQ(readFile(native("plan.dxf")), before);

    outcome = runOn("plan.dxf", "-LAYER\nMake\nWALLS\n\nSAVE\n");
    EXPECT_EQ(outcome.result, DrawingResult::Changed);
    EXPECT_EQ(outcome.reason, "");
    EXPECT_THAT(readFile(native("plan.dxf")), HasSubstr("WALLS"));
    EXPECT_EQ(acDocManagerPtr()->documentCount(), 0);

    // Saved under another name only: the drawing itself was not written.
    outcome = runOn("plan.dxf", "SAVEAS\n" + native("copy.dxf").string() + "\n");
    EXPECT_EQ(outcome.result, DrawingResult::Unchanged);
    EXPECT_TRUE(fs::exists(native("copy.dxf")));
}

TEST_F(BatchDrawing, FailuresGiveTheHostsOwnReason) {
    makeDrawing("plan.dxf");
    writeFile(native("broken.dxf"), "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n");
    const std::string broken = readFile(native("broken.dxf"));

    DrawingOutcome outcome = runOn("missing.dxf", "SAVE\n");
    EXPECT_EQ(outcome.result, DrawingResult::Failed);
    EXPECT_THAT(outcome.reason, HasSubstr("Cannot find Z:"));

    outcome = runOn("broken.dxf", "SAVE\n");
    EXPECT_EQ(outcome.result, DrawingResult::Failed);
    EXPECT_THAT(outcome.reason, HasSubstr("Cannot open Z:"));
    EXPECT_THAT(outcome.reason, Not(HasSubstr("\n")));
    EXPECT_EQ(readFile(native("broken.dxf")), broken);

    outcome = runOn("plan.dxf", "-LAYER\nMake\nDOORS\n\nNOSUCH\nSAVE\n");
    EXPECT_EQ(outcome.result, DrawingResult::Failed);
    EXPECT_THAT(outcome.reason, HasSubstr("batch.scr failed at line 5: NOSUCH"));
    EXPECT_THAT(readFile(native("plan.dxf")), Not(HasSubstr("DOORS")));

    // A script that saved and then failed says so.
    outcome = runOn("plan.dxf", "SAVE\nNOSUCH\n");
    EXPECT_EQ(outcome.result, DrawingResult::Failed);
    EXPECT_THAT(outcome.reason, HasSubstr("failed at line 2: NOSUCH (the drawing had been saved"));
    EXPECT_EQ(acDocManagerPtr()->documentCount(), 0);
}

TEST_F(BatchDrawing, EachDrawingStartsWithTheSameSettingsAndNothingLeftOver) {
    makeDrawing("a.dxf");
    makeDrawing("b.dxf");
    // QUIT, a changed setting, a second drawing and a line the script never reached.
    DrawingOutcome outcome =
        runOn("a.dxf", "CMDECHO 0\nOPEN\n" + native("b.dxf").string() + "\nQUIT\nGETVAR DBMOD\n");
    EXPECT_EQ(outcome.result, DrawingResult::Unchanged);
    EXPECT_FALSE(cadhost::app::interpreter().quitRequested());
    EXPECT_EQ(cadhost::app::systemVariables().getInt("CMDECHO"), 1);
    EXPECT_EQ(acDocManagerPtr()->documentCount(), 0);
    EXPECT_EQ(cadhost::app::commandLine().source(), nullptr);

    output();
    outcome = runOn("b.dxf", "GETVAR CMDECHO\nGETVAR DWGNAME\n");
    EXPECT_EQ(outcome.result, DrawingResult::Unchanged);
    const std::string text = output();
    EXPECT_THAT(text, HasSubstr("CMDECHO = 1"));
    EXPECT_THAT(text, HasSubstr("DWGNAME = \"b.dxf\""));
}

TEST_F(BatchDrawing, BatchReportIsReadOnlyAndEmptyOutsideABatch) {
    makeDrawing("a.dxf");
    EXPECT_EQ(run("GETVAR BATCHREPORT\n"), 0);
    EXPECT_THAT(output(), HasSubstr("BATCHREPORT = \"\""));
    cadhost::app::setBatchReport("C:\\reports\\r.csv.1.part");
    EXPECT_EQ(run("GETVAR BATCHREPORT\n"), 0);
    EXPECT_THAT(output(), HasSubstr("BATCHREPORT = \"C:\\reports\\r.csv.1.part\""));
    EXPECT_EQ(run("SETVAR BATCHREPORT\nC:\\other.csv\n"), 1);
    EXPECT_THAT(output(), HasSubstr("read only"));

    resbuf value{};
    ASSERT_EQ(acedGetVar("BATCHREPORT", &value), RTNORM);
    EXPECT_STREQ(value.resval.rstring, "C:\\reports\\r.csv.1.part");
    acutDelString(value.resval.rstring);
    resbuf other{};
    other.restype = RTSTR;
    char text[] = "C:\\x";
    other.resval.rstring = text;
    EXPECT_EQ(acedSetVar("BATCHREPORT", &other), RTERROR);
    cadhost::app::setBatchReport("");
}

// A worker killed while saving leaves the save's new file; the runner removes it, and the
// drawing is as it was.
TEST_F(BatchDrawing, WhatAnInterruptedSaveLeftIsRemoved) {
    makeDrawing("plan.dxf");
    const std::string before = readFile(native("plan.dxf"));
    const pid_t child = ::fork();
    if (child == 0) {
        cadhost::dxf::writeFileAtomically(native("plan.dxf"), [](const auto& sink) {
            sink("  0\nSECTION\n");
            ::raise(SIGKILL);
        });
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_TRUE(fs::exists(cadhost::dxf::saveTemporaries(native("plan.dxf"), child)[0]));

    cadhost::app::removeSaveLeftovers(native("plan.dxf").string(), child);
    for (const auto& entry : fs::directory_iterator(prefix_.scratch())) {
        EXPECT_THAT(entry.path().filename().string(), testing::AnyOf("plan.dxf", "prefix"));
    }
    EXPECT_EQ(readFile(native("plan.dxf")), before);
}

// A drawing named twice (by another letter case, path or link) would be saved by two workers.
TEST_F(BatchDrawing, ADrawingNamedTwiceIsFound) {
    makeDrawing("plan.dxf");
    makeDrawing("site.dxf");
    fs::create_directory(native("sub"));
    fs::create_symlink(native("plan.dxf"), native("sub/linked.dxf"));
    const std::string plan = native("plan.dxf").string();
    const std::string site = native("site.dxf").string();
    using cadhost::app::drawingNamedTwice;
    EXPECT_EQ(drawingNamedTwice({plan, site}), std::nullopt);
    EXPECT_EQ(drawingNamedTwice({plan, site, native("PLAN.DXF").string()}),
              native("PLAN.DXF").string());
    EXPECT_EQ(drawingNamedTwice({native("plan").string(), native("sub/../plan.dxf").string()}),
              native("sub/../plan.dxf").string());
    EXPECT_EQ(drawingNamedTwice({plan, native("sub/linked.dxf").string()}),
              native("sub/linked.dxf").string());
    // Files that do not exist are told apart by name; such drawings fail on their own.
    EXPECT_EQ(drawingNamedTwice({native("gone.dxf").string(), native("gone2.dxf").string()}),
              std::nullopt);
    EXPECT_EQ(drawingNamedTwice({native("gone.dxf").string(), native("Gone.dxf").string()}),
              native("Gone.dxf").string());
}

TEST(BatchShares, AreContiguousInOrderAndEven) {
    using Shares = std::vector<std::pair<std::size_t, std::size_t>>;
    EXPECT_EQ(cadhost::app::batchShares(10, 3), (Shares{{0, 3}, {3, 6}, {6, 10}}));
    EXPECT_EQ(cadhost::app::batchShares(2, 8), (Shares{{0, 1}, {1, 2}}));
    EXPECT_EQ(cadhost::app::batchShares(5, 1), (Shares{{0, 5}}));
    EXPECT_EQ(cadhost::app::batchShares(3, 0), (Shares{{0, 3}}));
    EXPECT_TRUE(cadhost::app::batchShares(0, 4).empty());
}

TEST(BatchReport, PartsAreJoinedInOrderWithOneHeader) {
    const testsupport::TempDir dir;
    const fs::path target = dir.path() / "report.csv";
    writeFile(dir.path() / "1.part", "drawing,layer\r\na.dxf,0\r\n");
    writeFile(dir.path() / "3.part", "drawing,layer\r\nc.dxf,0\r\nd.dxf,\"x,y\"");
    writeFile(dir.path() / "4.part", "e.dxf,drawing,layer\n");
    writeFile(dir.path() / "5.part", "");
    writeFile(target, "an older report\n");
    ::chmod(target.c_str(), 0640);

    const std::vector<fs::path> parts{dir.path() / "1.part", dir.path() / "2.part",
                                      dir.path() / "3.part", dir.path() / "4.part",
                                      dir.path() / "5.part"};
    ASSERT_EQ(cadhost::app::mergeReportParts(parts, target), "");
    EXPECT_EQ(readFile(target),
              "drawing,layer\r\na.dxf,0\r\nc.dxf,0\r\nd.dxf,\"x,y\"\ne.dxf,drawing,layer\n");
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // Without any part, the report is empty; without its folder, nothing is written.
    ASSERT_EQ(cadhost::app::mergeReportParts({dir.path() / "none.part"}, target), "");
    EXPECT_EQ(readFile(target), "");
    EXPECT_THAT(cadhost::app::mergeReportParts(parts, dir.path() / "no" / "r.csv"),
                HasSubstr("cannot write"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 5);
}

TEST(BatchWorkerEnd, NamesTheSignalOrTheStatus) {
    EXPECT_EQ(cadhost::app::describeWorkerEnd(SIGABRT), "was killed by signal SIGABRT (Aborted)");
    EXPECT_EQ(cadhost::app::describeWorkerEnd(SIGSEGV),
              "was killed by signal SIGSEGV (Segmentation fault)");
    EXPECT_EQ(cadhost::app::describeWorkerEnd(3 << 8), "exited with status 3");
}

}  // namespace
