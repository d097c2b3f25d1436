// Batches of the cadhost program over a folder of real drawings: each drawing done or failed
// on its own, the summary and exit status, the merged report, the same results whatever the
// number of workers, and a worker that crashes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>

#include "tests/e2e/cadhost_program.h"

namespace {

namespace fs = std::filesystem;
using e2etest::CadhostProgram;
using e2etest::ProgramRun;
using ::testing::HasSubstr;
using ::testing::Not;

// Crashes in b.dxf, fails at line 5 in e.dxf (it has no ROADS xref), saves the others.
constexpr const char* kScript =
    "BMCRASH\nb.dxf\n-XREF\nUnload\nROADS\n-LAYER\nMake\nBATCH\n\nBMREPORT\nSAVE\n";
constexpr const char* kDrawings =
    " project/a.dxf project/b.dxf project/c.dxf project/d.dxf project/e.dxf project/f.dxf";

// A saved drawing less the time of the save, which is all that differs between two runs.
std::string withoutSaveTime(const std::string& drawing) {
    static const std::regex time(R"((\$TDU?UPDATE\r?\n *40\r?\n)[^\r\n]*)");
    return std::regex_replace(drawing, time, "$1");
}

struct BatchRun {
    ProgramRun run;
    std::string errors;
    std::string report;
};

class Batch : public CadhostProgram {
  protected:
    // The project: copies of the demo site plan with its xrefs, one file that is no drawing
    // and one drawing without xrefs. The test module is loaded once so that it registers its
    // commands for demand loading.
    void SetUp() override {
        const ProgramRun made =
            python(std::string(EXAMPLES_DIR) + "/make_demo.py", (dir() / "project").string());
        ASSERT_EQ(made.exitCode, 0) << made.output;
        for (const char* name : {"a.dxf", "b.dxf", "d.dxf", "f.dxf"}) {
            fs::copy_file(dir() / "project/site.dxf", dir() / "project" / name);
        }
        fs::remove(dir() / "project/site.dxf");
        write("project/c.dxf", "this is no drawing\n");
        makeDrawing("project/e.dxf");
        write("load.scr", std::string("ARX\nLoad\n") + BATCH_MODULE_FILE + "\nQUIT\n");
        const ProgramRun loaded = cadhost("-b load.scr");
        ASSERT_EQ(loaded.exitCode, 0) << loaded.output;
        write("edit.scr", kScript);
        pristine_ = project();
    }

    // Every file of the project by its path in it.
    std::map<std::string, std::string> project() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(dir() / "project")) {
            if (entry.is_regular_file()) {
                const std::string name = fs::relative(entry.path(), dir() / "project").string();
                files[name] = read("project/" + name);
            }
        }
        return files;
    }

    void restoreProject() {
        fs::remove_all(dir() / "project");
        for (const auto& [name, text] : pristine_) {
            fs::create_directories((dir() / "project" / name).parent_path());
            write("project/" + name, text);
        }
    }

    BatchRun batch(const std::string& options) {
        BatchRun result{cadhostApart("--each edit.scr --report report.csv " + options + kDrawings,
                                     "errors.txt"),
                        read("errors.txt"), read("report.csv")};
        return result;
    }

    std::string summary(const std::string& drawing) const {
        const ProgramRun run = python(XREF_SUMMARY_SCRIPT, (dir() / "project" / drawing).string());
        EXPECT_EQ(run.exitCode, 0) << run.output;
        return run.output;
    }

    std::map<std::string, std::string> pristine_;
};

TEST_F(Batch, EveryDrawingIsDoneOnItsOwnAndTheFailuresAreSummarised) {
    const BatchRun done = batch("--jobs 2");
    EXPECT_EQ(done.run.exitCode, 1) << done.errors;
    for (const char* progress :
         {"[1/6] project/a.dxf\n", "[2/6] project/b.dxf\n", "[3/6] project/c.dxf\n",
          "[4/6] project/d.dxf\n", "[5/6] project/e.dxf\n", "[6/6] project/f.dxf\n"}) {
        EXPECT_THAT(done.errors, HasSubstr(progress));
    }
    EXPECT_THAT(done.errors,
                HasSubstr("Batch of 6 drawing(s): 3 changed, 0 unchanged, 3 failed\nFailed:\n"
                          "  project/b.dxf: the host was killed by signal SIGABRT (Aborted) "
                          "while running the script\n"
                          "  project/c.dxf: Cannot open Z:"));
    EXPECT_THAT(done.errors,
                HasSubstr("  project/e.dxf: Script edit.scr failed at line 5: ROADS\n"));

    // The failed drawings are as they were, and nothing but the saves' backups is new.
    std::map<std::string, std::string> after = project();
    for (const char* name : {"b.dxf", "c.dxf", "e.dxf", "xrefs/roads.dxf"}) {
        EXPECT_EQ(after[name], pristine_[name]) << name;
    }
    for (const char* name : {"a.dxf", "d.dxf", "f.dxf"}) {
        EXPECT_NE(after[name], pristine_[name]) << name;
        EXPECT_EQ(after[std::string(name) + ".bak"], pristine_[name]) << name;
        const std::string saved = summary(name);
        EXPECT_THAT(saved,
                    HasSubstr("ROADS path=xrefs\\roads.dxf overlay=0 inserted=1 unloaded=1"));
        EXPECT_THAT(saved, HasSubstr("audit errors=0"));
    }
    EXPECT_EQ(after.size(), pristine_.size() + 3);

    // One report in drawing order, its parts gone; the output in drawing order too.
    EXPECT_EQ(done.report, "drawing,layer\na.dxf,BATCH\nd.dxf,BATCH\nf.dxf,BATCH\n");
    for (const auto& entry : fs::directory_iterator(dir())) {
        EXPECT_THAT(entry.path().filename().string(), Not(HasSubstr(".part"))) << entry.path();
    }
    const std::string& out = done.run.output;
    const std::size_t a = out.find("Saved Z:");
    const std::size_t e = out.find("Script edit.scr failed at line 5: ROADS");
    const std::size_t f = out.find("f.dxf\n", e == std::string::npos ? 0 : e);
    EXPECT_TRUE(a < e && e < f && f != std::string::npos) << out;
}

TEST_F(Batch, AnyNumberOfWorkersGivesTheSameOutputFilesAndReport) {
    const BatchRun one = batch("--jobs 1");
    const std::map<std::string, std::string> oneFiles = project();
    const std::string summaryOf1 = one.errors.substr(one.errors.find("Batch of"));
    EXPECT_THAT(summaryOf1, HasSubstr("3 changed, 0 unchanged, 3 failed"));
    for (const char* jobs : {"--jobs 2", "--jobs 4", ""}) {
        restoreProject();
        const BatchRun many = batch(jobs);
        EXPECT_EQ(many.run.exitCode, one.run.exitCode) << jobs;
        EXPECT_EQ(many.run.output, one.run.output) << jobs;
        EXPECT_EQ(many.errors.substr(many.errors.find("Batch of")), summaryOf1) << jobs;
        EXPECT_EQ(many.report, one.report) << jobs;
        const std::map<std::string, std::string> files = project();
        ASSERT_EQ(files.size(), oneFiles.size()) << jobs;
        for (const auto& [name, text] : files) {
            EXPECT_TRUE(withoutSaveTime(text) == withoutSaveTime(oneFiles.at(name)))
                << jobs << " " << name;
        }
    }
}

TEST_F(Batch, WithoutReportBatchReportIsEmptyAndNothingIsSaved) {
    write("list.scr", "GETVAR BATCHREPORT\nBMREPORT\n-XREF ? *\n");
    const ProgramRun run =
        cadhostApart("--each list.scr project/a.dxf project/d.dxf", "errors.txt");
    EXPECT_EQ(run.exitCode, 0) << read("errors.txt");
    EXPECT_THAT(run.output, HasSubstr("BATCHREPORT = \"\""));
    EXPECT_THAT(run.output, HasSubstr("No batch report."));
    EXPECT_THAT(read("errors.txt"), HasSubstr("Batch of 2 drawing(s): 0 changed, 2 unchanged, "
                                              "0 failed\n"));
    EXPECT_EQ(project(), pristine_);
}

TEST_F(Batch, BadUsageChangesNothing) {
    for (const char* arguments :
         {"--each edit.scr", "--each edit.scr --jobs 0 project/a.dxf",
          "--each edit.scr --jobs two project/a.dxf", "--report r.csv project/a.dxf",
          "--jobs 2 project/a.dxf", "-b edit.scr --each edit.scr project/a.dxf",
          "--each missing.scr project/a.dxf", "--each edit.scr --report no/r.csv project/a.dxf",
          "--each", "--each edit.scr project/a.dxf project/b.dxf project/A.DXF"}) {
        const ProgramRun run = cadhost(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments << "\n" << run.output;
    }
    EXPECT_THAT(cadhost("--each edit.scr").output, HasSubstr("--each SCRIPT [--jobs N]"));
    EXPECT_THAT(cadhost("--each edit.scr project/a.dxf project/./a.dxf").output,
                HasSubstr("project/./a.dxf is named more than once"));
    EXPECT_EQ(project(), pristine_);
}

}  // namespace
