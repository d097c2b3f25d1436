// The plug-in module in the host program as a user runs it: loaded with ARX, then by typing
// LKH alone through the demand-load entries it wrote, and telling a user without a display
// that the dialog cannot be shown, leaving the drawing as it was.

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

    // A new run in the same prefix: LKH alone loads the module from its entries.
    write("lkh.scr", "LKH\nLINKHOLDSD\nQUIT\n");
    const e2etest::ProgramRun second = cadhost("-b lkh.scr plan.dxf", "", kNoDisplay);
    EXPECT_EQ(second.exitCode, 0) << second.output;
    EXPECT_THAT(second.output, HasSubstr("No display: the Linkhold dialog cannot be shown"));
    EXPECT_THAT(second.output, HasSubstr("LinkholdSD for internal use only"));
    EXPECT_THAT(second.output, Not(HasSubstr("Unknown command")));
    EXPECT_EQ(read("plan.dxf"), before);
}

}  // namespace
