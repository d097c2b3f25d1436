// The plug-in module in the host program as a user runs it: loaded with ARX, then by typing
// LKH alone through the demand-load entries it wrote, and telling a user without a display
// that the dialog cannot be shown, leaving the drawing as it was; -LKH typed first loads it
// too and works the demo's xrefs from a script.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cadhost_program.h"

namespace {

using testing::HasSubstr;
using testing::Not;

class PluginModule : public e2etest::CadhostProgram {
  protected:
    // No display of any kind for the program.
    static constexpr const char* kNoDisplay =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM";
};

TEST_F(PluginModule, LoadedOnceThenTypingLkhLoadsItAndSaysThereIsNoDisplay) {
    makeDrawing("plan.dxf");
    const std::string before = read("plan.dxf");
    write("load.scr", std::string("ARX\nLoad\n") + LNKHOLD_MODULE_FILE + "\nLKH\nQUIT\n");
    const e2etest::ProgramRun first = cadhost("-b load.scr plan.dxf", "", kNoDisplay);
    EXPECT_EQ(first.exitCode, 0) << first.output;
    EXPECT_THAT(first.output, HasSubstr("No display: the Linkhold dialog cannot be shown"));
    EXPECT_THAT(first.output, HasSubstr("-LINKHOLD does the same on the command line"));

    // A new run in the same prefix: LKH alone loads the module from its entries.
    write("lkh.scr", "LKH\nLINKHOLDSD\nQUIT\n");
    const e2etest::ProgramRun second = cadhost("-b lkh.scr plan.dxf", "", kNoDisplay);
    EXPECT_EQ(second.exitCode, 0) << second.output;
    EXPECT_THAT(second.output, HasSubstr("No display: the Linkhold dialog cannot be shown"));
    EXPECT_THAT(second.output, HasSubstr("LinkholdSD for internal use only"));
    EXPECT_THAT(second.output, Not(HasSubstr("Unknown command")));
    EXPECT_EQ(read("plan.dxf"), before);
}

// A fresh prefix where the module registered itself once: -LKH alone loads it, repaths the
// missing car park to the folder it moved to, writes a report and stores the list; ezdxf and
// Python's csv module read back what was written.
TEST_F(PluginModule, TypingMinusLkhWorksTheDemoFromAScript) {
    const e2etest::ProgramRun made = python(EXAMPLES_DIR "/make_demo.py", dir().string());
    ASSERT_EQ(made.exitCode, 0) << made.output;
    write("load.scr", std::string("ARX\nLoad\n") + LNKHOLD_MODULE_FILE + "\nQUIT\n");
    ASSERT_EQ(cadhost("-b load.scr site.dxf", "", kNoDisplay).exitCode, 0);

    write("work.scr", "-LKH\nSElect parking\nREPath\n" + (dir() / "xrefs" / "archive").string() +
                          "\nSElect *\nExport\n" + (dir() / "report.csv").string() +
                          "\nReplace\n\nSAVE\nQUIT\n");
    const e2etest::ProgramRun run = cadhost("-b work.scr site.dxf", "", kNoDisplay);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, Not(HasSubstr("Unknown command")));

    const e2etest::ProgramRun summary = python(XREF_SUMMARY_SCRIPT, "site.dxf");
    EXPECT_THAT(summary.output, HasSubstr("\\xrefs\\archive\\parking.dwg overlay=0 inserted=1"));
    EXPECT_THAT(summary.output, HasSubstr("audit errors=0"));
    const e2etest::ProgramRun report = python(READ_CSV_SCRIPT, "report.csv");
    EXPECT_EQ(report.exitCode, 0) << report.output;
    EXPECT_THAT(report.output, HasSubstr(R"(["Drawing", "Xref Name", "Status")"));
    EXPECT_THAT(report.output, HasSubstr(R"("parking", "Repathed")")) << report.output;
}

}  // namespace
