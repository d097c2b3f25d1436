// The package as a user meets it, with real processes on a real (virtual) X display: the
// installer from the package folder, driven with the keyboard through its agreement and
// wizard, installs into a fresh prefix; cadhost in that prefix loads the module from the
// installed folder when LKH is typed; the dialog is closed with OK, and the saved drawing holds
// the marker block as ezdxf reads it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_prefix.h"
#include "tests/e2e/desktop.h"

namespace fs = std::filesystem;
using e2etest::Child;
using e2etest::readFile;
using testing::HasSubstr;
using testing::Not;
using namespace std::chrono_literals;

namespace {

const fs::path kPackage = PACKAGE_DIR;

std::vector<std::string> listedFiles() {
    std::vector<std::string> names;
    std::string line;
    std::ifstream list(kPackage / "setup16.ini", std::ios::binary);
    while (std::getline(list, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            names.push_back(line);
        }
    }
    return names;
}

// The package folder holds the installer, its licence text and file list, and every file the
// list names, among them the module that the registration's LOADER names.
TEST(Package, HoldsTheInstallerAndEveryListedFile) {
    for (const char* name : {"setup", "license.txt", "setup16.ini"}) {
        EXPECT_TRUE(fs::is_regular_file(kPackage / name)) << name;
    }
    const std::vector<std::string> names = listedFiles();
    EXPECT_THAT(names, testing::ElementsAre("Linkhold16.arx", "lnkhold.hlp"));
    for (const std::string& name : names) {
        EXPECT_TRUE(fs::is_regular_file(kPackage / name)) << name;
    }
}

class InstalledPackage : public ::testing::Test {
  protected:
    InstalledPackage() {
        // Third-party libraries that Qt uses on a real display keep some allocations until
        // exit; only they are let off the leak check of the programs under test.
        std::ofstream(dir() / "lsan.supp") << "leak:libfontconfig\nleak:libdbus-1\n";
    }

    fs::path dir() const { return scratch_.path(); }
    fs::path prefix() const { return dir() / "prefix"; }

    // The environment of the programs under test: the prefix, the display, Qt on X.
    std::vector<std::string> environment(const std::string& display) const {
        return {"CADHOST_PREFIX=" + prefix().string(), "DISPLAY=" + display, "QT_QPA_PLATFORM=xcb",
                "WAYLAND_DISPLAY", "LSAN_OPTIONS=suppressions=" + (dir() / "lsan.supp").string()};
    }

    // Waits for a program to end; its exit code, or a failure that shows its output.
    static void expectExit(Child& program, const fs::path& output, const char* what) {
        const std::optional<int> code = program.wait(20s);
        ASSERT_TRUE(code.has_value()) << what << " did not end:\n" << readFile(output);
        EXPECT_EQ(*code, 0) << what << ":\n" << readFile(output);
    }

    testsupport::TempDir scratch_;
};

TEST_F(InstalledPackage, SetupInstallsAndLkhLoadsTheInstalledModuleWhoseOkMarksTheDrawing) {
    if (!fs::exists("/usr/bin/Xvfb") || !fs::exists("/usr/bin/xdotool")) {
        FAIL() << "Xvfb and xdotool are needed (scripts/bootstrap.sh installs them)";
    }
    e2etest::VirtualDisplay display(dir());
    e2etest::Xdotool xdotool(display.name(), dir());
    const auto env = environment(display.name());

    // The host is there before the plug-in: its first start registers its product key.
    std::ofstream(dir() / "quit.scr") << "QUIT\n";
    Child first({CADHOST_PROGRAM, "-b", "quit.scr"}, env, dir(), dir() / "first.log");
    expectExit(first, dir() / "first.log", "cadhost's first start");

    // setup, started in the package folder as a user does, answered with the keyboard.
    Child setup({(kPackage / "setup").string()}, env, kPackage, dir() / "setup.log");
    // Agreement: focus starts on Quit; Tab reaches "Yes, I agree", Space picks it, Enter is
    // Continue.
    ASSERT_TRUE(
        xdotool.answer("^Setup Fernview for AutoCAD 2004 - 2005$", {"Tab", "space", "Return"}));
    // Page 0 (Install is chosen), then page 1 with the default folder.
    ASSERT_TRUE(xdotool.answer("^Linkhold16$", {"alt+n"}));
    ASSERT_TRUE(xdotool.keys({"alt+n"}, "Next on the folder page"));
    ASSERT_TRUE(xdotool.answer("^Unknown Directory$", {"y"}));
    ASSERT_TRUE(xdotool.waitGone("^Unknown Directory$"));
    // Page 2: the list has the focus; select every product, then Finish.
    ASSERT_TRUE(xdotool.answer("^Linkhold16$", {"ctrl+a", "alt+f"}));
    ASSERT_TRUE(xdotool.answer("^Installation complete$", {"Return"}));
    expectExit(setup, dir() / "setup.log", "setup");

    const fs::path installed = prefix() / "drive_c" / "Program Files" / "Tarnwick" / "Linkhold16";
    for (const std::string& name : listedFiles()) {
        EXPECT_EQ(readFile(installed / name), readFile(kPackage / name)) << name;
    }
    EXPECT_THAT(readFile(prefix() / "system.reg"),
                HasSubstr("\"LOADER\"=\"C:\\\\Program Files\\\\Tarnwick\\\\Linkhold16\\\\"
                          "Linkhold16.arx\""));

    // cadhost on a copy of the demo: LKH alone loads the module through the registration.
    const fs::path project = dir() / "project";
    fs::create_directories(project);
    fs::copy(fs::path(EXAMPLES_DIR) / "site.dxf", project);
    fs::copy(fs::path(EXAMPLES_DIR) / "xrefs", project / "xrefs", fs::copy_options::recursive);
    std::ofstream(project / "lkh.scr") << "LKH\nSAVE\nQUIT\n";
    Child host({CADHOST_PROGRAM, "-b", "lkh.scr", "site.dxf"}, env, project, dir() / "cadhost.log");
    const auto dialog = xdotool.focusWindow("^Linkhold, Version [0-9.]+$");
    ASSERT_TRUE(dialog) << readFile(dir() / "cadhost.log");
    // The module the host runs is the installed file, not the one in the build tree.
    const std::string maps = readFile("/proc/" + std::to_string(host.pid()) + "/maps");
    EXPECT_THAT(maps, HasSubstr((installed / "Linkhold16.arx").string()));
    ASSERT_TRUE(xdotool.keys({"Return"}, "OK in the dialog"));
    expectExit(host, dir() / "cadhost.log", "cadhost");
    const std::string output = readFile(dir() / "cadhost.log");
    EXPECT_THAT(output, HasSubstr("Command: LKH\n"));
    EXPECT_THAT(output, Not(HasSubstr("Unknown command")));
    EXPECT_THAT(output, HasSubstr("Saved "));

    Child reader({"/usr/bin/python3", READ_MARKER_SCRIPT, "site.dxf"}, {}, project,
                 dir() / "marker.json");
    expectExit(reader, dir() / "marker.json", "read_marker.py");
    const std::string marker = readFile(dir() / "marker.json");
    EXPECT_THAT(marker, HasSubstr("\"audit_errors\": []"));
    EXPECT_THAT(marker, HasSubstr("\"block\": [{\"type\": \"LWPOLYLINE\""));
    for (const char* name : {"building", "furniture", "oldplan", "parking", "roads", "trees"}) {
        EXPECT_THAT(marker, HasSubstr(std::string(name) + "\"]")) << marker;
    }
}

}  // namespace
