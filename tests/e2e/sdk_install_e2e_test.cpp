// The SDK as an author of another module meets it: `cmake --install` of this build, the
// example module of examples/xref-lister configured and built against the installation as an
// outside project, and the installed host loading it with ARX and running its command.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cadhost_program.h"

namespace {

using testing::HasSubstr;

class InstalledSdk : public e2etest::CadhostProgram {};

TEST_F(InstalledSdk, AnOutsideModuleBuildsAgainstItAndTheInstalledHostRunsIt) {
    const std::string installed = (dir() / "installed").string();
    const e2etest::ProgramRun install = shell("cmake --install " + e2etest::quoted(BUILD_DIR) +
                                              " --prefix " + e2etest::quoted(installed));
    ASSERT_EQ(install.exitCode, 0) << install.output;
    for (const char* file :
         {"bin/cadhost", "lib/libcadhost.so", "include/cadhost-sdk/adslib.h",
          "lib/cadhost-sdk/module_api_version.o", "lib/cmake/CadHost/CadHostConfig.cmake",
          "share/lnkhold/package/setup", "share/lnkhold/package/Linkhold16.arx"}) {
        EXPECT_TRUE(std::filesystem::exists(dir() / "installed" / file)) << file;
    }

    const std::string build = (dir() / "xl").string();
    const e2etest::ProgramRun configure = shell(
        "cmake -S " + e2etest::quoted(EXAMPLES_DIR "/xref-lister") + " -B " +
        e2etest::quoted(build) + " -G Ninja -DCMAKE_PREFIX_PATH=" + e2etest::quoted(installed));
    ASSERT_EQ(configure.exitCode, 0) << configure.output;
    const e2etest::ProgramRun compile = shell("cmake --build " + e2etest::quoted(build));
    ASSERT_EQ(compile.exitCode, 0) << compile.output;

    // A drawing with one xref that is found and one whose file has gone.
    makeDrawing("part.dxf");
    makeDrawing("gone.dxf");
    makeDrawing("plan.dxf");
    write("xrefs.scr", "-XREF\nA\npart.dxf\n\n\n\n\n-XREF\nA\ngone.dxf\n5,5\n\n\n\nSAVE\nQUIT\n");
    ASSERT_EQ(cadhost("-b xrefs.scr plan.dxf").exitCode, 0);
    std::filesystem::remove(dir() / "gone.dxf");
    write("list.scr", "ARX\nLoad\n" + build + "/xreflist.arx\nXREFLIST\nQUIT\n");
    const e2etest::ProgramRun run =
        shell(e2etest::quoted(installed + "/bin/cadhost") + " --prefix " +
              e2etest::quoted(prefix()) + " -b list.scr plan.dxf");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("2 xref(s)."));
    EXPECT_THAT(run.output, testing::ContainsRegex("part +Loaded +part.dxf -> Z:.*part.dxf"));
    EXPECT_THAT(run.output, testing::ContainsRegex("gone +Not found +gone.dxf -> \\(no file\\)"));
}

}  // namespace
