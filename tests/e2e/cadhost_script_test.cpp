// The cadhost program run as a user runs it: scripts with -b, piped input, a fresh prefix.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/prefix.h"
#include "platform/registry.h"
#include "tests/e2e/cadhost_program.h"

namespace {

using e2etest::CadhostProgram;
using e2etest::ProgramRun;
using ::testing::HasSubstr;
using ::testing::Not;

TEST_F(CadhostProgram, AFailingScriptExitsNonZeroNamingTheLine) {
    write("fail.scr", "SETVAR FILEDIA 0\nNOSUCHCOMMAND\nQUIT\n");
    const ProgramRun run = cadhost("-b fail.scr");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.output, HasSubstr("Unknown command \"NOSUCHCOMMAND\""));
    EXPECT_THAT(run.output, HasSubstr("Script fail.scr failed at line 2: NOSUCHCOMMAND"));
    EXPECT_THAT(run.output, Not(HasSubstr("Command: QUIT")));

    write("refused.scr", "SETVAR FILEDIA 7\n");
    EXPECT_EQ(cadhost("-b refused.scr").exitCode, 1);
    EXPECT_EQ(cadhost("-b missing.scr").exitCode, 1);
}

TEST_F(CadhostProgram, QuitAsksAboutUnsavedChangesAndTheScriptAnswers) {
    makeDrawing("plan.dxf");
    const std::string saved = read("plan.dxf");

    write("discard.scr", "-LAYER M WALLS\n\nQUIT\nN\n");
    ProgramRun run = cadhost("-b discard.scr plan.dxf");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("Save changes to Z:"));
    EXPECT_EQ(read("plan.dxf"), saved);

    write("cancel.scr", "-LAYER M WALLS\n\nQUIT\nCancel\nGETVAR DBMOD\nQUIT\nYes\n");
    run = cadhost("-b cancel.scr plan.dxf");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("DBMOD = 1"));
    EXPECT_THAT(read("plan.dxf"), HasSubstr("WALLS"));

    write("unanswered.scr", "-LAYER M DOORS\n\nCLOSE\n");
    run = cadhost("-b unanswered.scr plan.dxf");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.output, HasSubstr("failed at line 3: CLOSE"));
    EXPECT_THAT(read("plan.dxf"), Not(HasSubstr("DOORS")));
}

TEST_F(CadhostProgram, ScriptsTypeFileNamesEvenWithFileDialogsOn) {
    makeDrawing("site.dxf");
    write("open.scr", "GETVAR FILEDIA\nOPEN site\nGETVAR DWGNAME\nSAVEAS copy.dxf\nQUIT\n");
    const ProgramRun run = cadhost("-b open.scr");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("FILEDIA = 1"));
    EXPECT_THAT(run.output, HasSubstr("DWGNAME = \"site.dxf\""));
    EXPECT_TRUE(std::filesystem::exists(dir() / "copy.dxf"));
}

TEST_F(CadhostProgram, PipedInputUsesTheFileDialogSettingAndSaysWhenThereIsNoDisplay) {
    makeDrawing("site.dxf");
    const std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM";
    ProgramRun run =
        cadhost("", "OPEN\n" + (dir() / "site.dxf").string() + "\nGETVAR DWGNAME\n", noDisplay);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, HasSubstr("No display for the file dialog"));
    EXPECT_THAT(run.output, HasSubstr("DWGNAME = \"site.dxf\""));

    run = cadhost("", "FILEDIA 0\nOPEN\nsite.dxf\nGETVAR DWGNAME\n", noDisplay);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_THAT(run.output, Not(HasSubstr("No display")));
    EXPECT_THAT(run.output, HasSubstr("Enter name of drawing to open: site.dxf"));
    EXPECT_THAT(run.output, HasSubstr("DWGNAME = \"site.dxf\""));
}

TEST_F(CadhostProgram, RegistersTheHostAndDemandLoadsAModuleFromTheRegistry) {
    ASSERT_EQ(platform::setCurrentPrefix(prefix()), "");
    const std::string app = "Software\\Autodesk\\AutoCAD\\R16.0\\ACAD-201:409\\Applications\\Test";
    platform::HKEY key = nullptr;
    ASSERT_EQ(
        platform::RegCreateKeyExA(platform::HKEY_LOCAL_MACHINE, (app + "\\COMMANDS").c_str(), 0,
                                  nullptr, 0, platform::KEY_ALL_ACCESS, nullptr, &key, nullptr),
        platform::ERROR_SUCCESS);
    ASSERT_EQ(platform::RegSetValueExA(key, "TMHELLO", 0, platform::REG_SZ,
                                       reinterpret_cast<const platform::BYTE*>("TMH"), 4),
              platform::ERROR_SUCCESS);
    platform::RegCloseKey(key);
    ASSERT_EQ(platform::RegOpenKeyExA(platform::HKEY_LOCAL_MACHINE, app.c_str(), 0,
                                      platform::KEY_ALL_ACCESS, &key),
              platform::ERROR_SUCCESS);
    const platform::DWORD controls = 12;
    const std::string loader = "Z:" + std::string(TEST_MODULE_DIR) + "/TestModule.arx";
    platform::RegSetValueExA(key, "LOADCTRLS", 0, platform::REG_DWORD,
                             reinterpret_cast<const platform::BYTE*>(&controls), 4);
    platform::RegSetValueExA(key, "LOADER", 0, platform::REG_SZ,
                             reinterpret_cast<const platform::BYTE*>(loader.c_str()),
                             static_cast<platform::DWORD>(loader.size() + 1));
    platform::RegCloseKey(key);

    write("demand.scr", "TMH\nARX ?\nARX Unload TestModule\nTMASK\n");
    const ProgramRun run = cadhost("-b demand.scr");
    EXPECT_EQ(run.exitCode, 1) << run.output;
    EXPECT_THAT(run.output, HasSubstr("Hello from the test module"));
    EXPECT_THAT(run.output, HasSubstr("Loaded modules: 1"));
    EXPECT_THAT(run.output, HasSubstr("[test module] unload"));
    EXPECT_THAT(run.output, HasSubstr("failed at line 4: TMASK"));

    std::ifstream system(prefix() / "system.reg");
    const std::string text{std::istreambuf_iterator<char>(system), {}};
    EXPECT_THAT(text, HasSubstr("\"ProductName\"=\"cadhost\"\n\"Release\"=\"16.0\""));
}

TEST_F(CadhostProgram, RefusesBadArgumentsAndMissingDrawings) {
    EXPECT_EQ(cadhost("--sdi a.dxf b.dxf").exitCode, 2);
    EXPECT_EQ(cadhost("--bogus").exitCode, 2);
    const ProgramRun run = cadhost("missing.dxf");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.output, HasSubstr("Cannot find Z:"));
}

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// A damaged drawing from another program opens with one warning that names what was mended;
// saved unchanged it keeps its bytes, saved after a change it is sound for ezdxf's strict reader.
TEST_F(CadhostProgram, ADamagedDrawingOpensWithOneWarningAndSavesSound) {
    const std::string damaged = e2etest::quoted(DAMAGED_DXF_DIR "/librecad-pattern-misc01.dxf");
    ASSERT_EQ(system(("cp " + damaged + " " + e2etest::quoted(dir() / "plan.dxf")).c_str()), 0);
    const std::string before = read("plan.dxf");
    write("save.scr", "SAVE\nQUIT\n");
    const ProgramRun unchanged = cadhost("-b save.scr plan.dxf");
    EXPECT_EQ(unchanged.exitCode, 0) << unchanged.output;
    const std::string warning = "line 15: ENDSEC closed section HEADER too early";
    EXPECT_EQ(countOf(unchanged.output, warning), 1u) << unchanged.output;
    EXPECT_EQ(read("plan.dxf"), before);

    write("change.scr", "-LAYER\nNew\nmended\n\nSAVE\nQUIT\n");
    const ProgramRun changed = cadhost("-b change.scr plan.dxf");
    EXPECT_EQ(changed.exitCode, 0) << changed.output;
    const ProgramRun strict = python(
        "-c", e2etest::quoted(
                  "import ezdxf; d = ezdxf.readfile('plan.dxf'); "
                  "print(len(d.audit().errors), 'mended' in d.layers, d.header['$DIMSTYLE'])"));
    EXPECT_EQ(strict.output, "0 True Standard\n");
    EXPECT_EQ(countOf(cadhost("-b save.scr plan.dxf").output, "Warning"), 0u);
}

}  // namespace
