// -LINKHOLD, the dialog on the command line, through the loaded module and the host's script
// reading: every option on the fixture drawings, OK keeping the result and Cancel or a refused
// answer leaving the drawing byte for byte as it was, the listing, Select by name patterns,
// Options, and Export read back by Python's csv module.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "cadhost/dxf_test_support.h"
#include "cadhost/xref_test_support.h"
#include "module_session.h"
#include "plugin/model/settings.h"

namespace {

using namespace plugintest;
using testing::AllOf;
using testing::HasSubstr;
using testing::Not;

class CommandLineForm : public ModuleSession {
  protected:
    void SetUp() override {
        ModuleSession::SetUp();
        lnkhold::writeSetting("AutoAttach",
                              0);  // Add leaves its rows pending unless a test says so
        ASSERT_TRUE(loadModule());
        std::filesystem::create_directories(folder() / "pending");
        for (const char* name : {"alpha", "beta"}) {
            std::filesystem::copy_file(folder() / "trees.dxf",
                                       folder() / "pending" / (std::string(name) + ".dxf"));
        }
    }

    // The status column of a row in the last listing of the output; "(no row)" when absent.
    static std::string listedStatus(const std::string& output, const std::string& name) {
        const std::size_t listing = output.rfind("Xref Name");
        const std::regex row("\\n[* ] " + name + " +([A-Za-z][A-Za-z ]*?)(  |\\n|$)");
        std::smatch match;
        const std::string last = output.substr(listing == std::string::npos ? 0 : listing);
        return std::regex_search(last, match, row) ? match[1].str() : "(no row)";
    }

    std::vector<std::string> csvRecords(const std::string& file) {
        const std::string printed = runScript("read_csv.py", {(folder() / file).string()});
        std::vector<std::string> lines;
        std::istringstream in(printed);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
};

TEST_F(CommandLineForm, EveryOptionRunsFromAScriptAndOkKeepsTheResult) {
    std::ofstream(folder() / "more.lkh", std::ios::binary) << "C:\\p\\later.dwg\r\n";
    open("host.dxf");
    const std::string script = "-LINKHOLD\nADd\n" + hostPath("pending\\alpha.dxf") + "\n" +
                               (folder() / "pending" / "beta").string() +  // native, no extension
                               "\n\nSElect alpha,BETA\nATtach\n?\n"
                               "SElect alpha\nDetach\n?\n"
                               "SElect trees\nUnload\n?\nRELoad\n?\n"
                               "se abs\nSTrip\nSElect lib\nInsert\n"
                               "SElect\n\nSAve\n" +
                               hostPath("walk.lkh") + "\nLoad\n" + hostPath("more.lkh") + "\n?\n\n";
    ASSERT_EQ(run(script), 0) << output();
    const std::string out = output();
    // Each listing shows the state after the option before it.
    std::vector<std::string> listings;
    for (std::size_t at = out.find("Xref Name"); at != std::string::npos;
         at = out.find("Xref Name", at + 1)) {
        listings.push_back(out.substr(at, out.find("Enter an option", at) - at));
    }
    ASSERT_EQ(listings.size(), 5u) << out;
    EXPECT_EQ(listedStatus(listings[0], "alpha"), "Attached");
    EXPECT_EQ(listedStatus(listings[0], "beta"), "Attached");
    EXPECT_EQ(listedStatus(listings[1], "alpha"), "Detached");
    EXPECT_EQ(listedStatus(listings[2], "trees"), "Unloaded");
    EXPECT_EQ(listedStatus(listings[3], "trees"), "Overlay");  // the selection outlived Unload
    EXPECT_EQ(listedStatus(listings[4], "lib"), "(no row)");
    EXPECT_EQ(listedStatus(listings[4], "later"), "Detached");
    EXPECT_THAT(listings[4], HasSubstr("\n  abs "));
    EXPECT_THAT(listings[4], HasSubstr("<<acad path>>"));
    EXPECT_THAT(out, HasSubstr("2 xrefs selected."));

    EXPECT_EQ(drawing()->transactionManager()->numActiveTransactions(), 0);
    expectTheWalkKept(*drawing(), folder());
}

TEST_F(CommandLineForm, CancelAndARefusedAnswerLeaveTheDrawingAsItWas) {
    open("host.dxf");
    acdbRegApp("LNKHOLD");
    const std::string before = savedBytes(*drawing());
    const std::string xrefsBefore = xrefState();
    lnkhold::writeSetting("Header1", 123);

    ASSERT_EQ(run("-LINKHOLD\nADd\n" + hostPath("pending\\alpha.dxf") +
                  "\n\nSElect alpha\nATtach\nSElect trees\nDetach\nSElect abs\nSTrip\n"
                  "OPTions Visretain OFF Layer Zero\n\nSElect lib\nInsert\nCancel\n"),
              0);
    EXPECT_THAT(output(), HasSubstr("*Cancel*"));
    EXPECT_EQ(xrefState(), xrefsBefore);
    EXPECT_EQ(savedBytes(*drawing()), before);

    // In a script a refused answer fails it at its line and takes back what the command did.
    const std::vector<std::pair<std::string, std::string>> refusals = {
        {"SElect trees\nDetach\nADd\n" + hostPath("pending\\nothere.dxf") + "\n", "File not found"},
        {"SElect trees\nDetach\nFrobnicate\n", "Invalid option keyword."},
        {"SElect abs\nATtach\n", "ATtach is not available for the selected xref."},
        {"SElect trees\nDetach\n", ""},  // the script ends inside the command
        {"SElect trees\nDetach\nExport\n" + hostPath("no folder\\r.csv") + "\nReplace\n",
         "Cannot write the report"},
    };
    for (const auto& [answers, message] : refusals) {
        EXPECT_EQ(run("-LINKHOLD\n" + answers), 1) << answers;
        const std::string out = output();
        EXPECT_THAT(out, AllOf(HasSubstr(message), HasSubstr("Nothing was changed."),
                               HasSubstr("Script test script failed at line")))
            << out;
        EXPECT_EQ(xrefState(), xrefsBefore);
        EXPECT_EQ(drawing()->transactionManager()->numActiveTransactions(), 0);
    }
    EXPECT_EQ(savedBytes(*drawing()), before);
    EXPECT_EQ(lnkhold::readSetting("Header1", 0), 123);
}

TEST_F(CommandLineForm, OkStoresTheOptionsAndKeepsTheColumnWidths) {
    open("host.dxf");
    lnkhold::writeSetting("Header3", 321);
    const bool visretain = drawing()->visretain();
    ASSERT_EQ(run(std::string("-LKH\nOPTions\nAUtoattach ON\nVisretain ") +
                  (visretain ? "OFF" : "ON") + "\nLayer Current\nACadpath OFF\n\nADd\n" +
                  hostPath("pending\\alpha.dxf") + "\n\n?\n\n"),
              0)
        << output();
    const std::string out = output();
    EXPECT_THAT(out, HasSubstr("Acad Path OFF, Automatically Attach ON, Visretain " +
                               std::string(visretain ? "OFF" : "ON") +
                               ", insertion layer the current layer."));
    EXPECT_EQ(listedStatus(out, "alpha"), "Attached");  // attached at once by Add
    EXPECT_NE(drawing()->visretain(), visretain);
    EXPECT_EQ(lnkhold::readSetting("AutoAttach", 0), 1);
    EXPECT_EQ(lnkhold::readSetting("InsertionLayer", 0), 2);
    EXPECT_EQ(lnkhold::readSetting("Header3", 0), 321);
    EXPECT_TRUE(hasMarker(drawing()));
}

TEST_F(CommandLineForm, TheListingAlignsTheColumnsAndNamesTheColours) {
    open("host.dxf");
    ASSERT_EQ(run("-LINKHOLD\nADd\n" + hostPath("pending\\alpha.dxf") + "\n\nSElect t*,A?S\n?\n\n"),
              0);
    const std::string out = output();
    const std::size_t start = out.rfind("  Xref Name");
    ASSERT_NE(start, std::string::npos) << out;
    std::istringstream listing(out.substr(start, out.find(" xrefs, ", start) - start));
    std::vector<std::string> lines;
    for (std::string line; std::getline(listing, line) && !line.empty() && !isdigit(line[0]);) {
        lines.push_back(line);
    }
    ASSERT_GE(lines.size(), 4u);
    const std::size_t statusColumn = lines[0].find("Status");
    const std::size_t pathColumn = lines[0].find("Path");
    int selected = 0;
    for (const std::string& line : lines) {
        EXPECT_EQ(line[statusColumn - 1], ' ') << line;
        EXPECT_NE(line[statusColumn], ' ') << line;
        EXPECT_EQ(line[pathColumn - 1], ' ') << line;
        selected += line.starts_with("* ") ? 1 : 0;
    }
    EXPECT_EQ(selected, 2);
    EXPECT_THAT(out, AllOf(HasSubstr("2 xrefs selected."), HasSubstr("[added]"),
                           HasSubstr("* abs "), HasSubstr("* trees ")));
}

TEST_F(CommandLineForm, ExportWritesCsvThatPythonReadsAndAppendsForAProject) {
    std::filesystem::copy_file(folder() / "trees.dxf", folder() / "pending" / "Straße, Nord.dxf");
    open("host.dxf");
    const std::string report = hostPath("report.csv");
    ASSERT_EQ(run("-LINKHOLD\nADd\n" + hostPath("pending\\Straße, Nord.dxf") + "\n\nExport\n" +
                  report + "\n\n\n"),
              0)
        << output();
    std::vector<std::string> records = csvRecords("report.csv");
    ASSERT_GE(records.size(), 3u);
    EXPECT_EQ(records[0],
              R"(["Drawing", "Xref Name", "Status", "Path", "Date modified", "Size", "Current", )"
              R"("Notes", "Full path", "Found path"])");
    EXPECT_THAT(records, testing::Contains(AllOf(HasSubstr("\"Straße, Nord\", \"Detached\""),
                                                 HasSubstr("\"added\""))));
    const std::size_t rowsOfOne = records.size() - 1;

    // A second drawing's rows are appended under the one header.
    ASSERT_EQ(run("-LINKHOLD\nExport\n" + report + "\nAppend\n\n"), 0) << output();
    records = csvRecords("report.csv");
    EXPECT_EQ(records.size(), 1 + 2 * rowsOfOne);  // the added row came back from the marker
    EXPECT_EQ(std::count(records.begin(), records.end(), records[0]), 1);

    // A file that is not such a report is never appended to.
    std::ofstream(folder() / "other.csv", std::ios::binary) << "not a report\r\n";
    EXPECT_EQ(run("-LINKHOLD\nExport\n" + hostPath("other.csv") + "\nAppend\n"), 1);
    EXPECT_THAT(output(), HasSubstr("holds something else than a report"));
    EXPECT_EQ(dxftest::readBytes(folder() / "other.csv"), "not a report\r\n");
}

TEST_F(CommandLineForm, OpenEndsAsOkThenOpensTheSelectedDrawings) {
    open("host.dxf");
    AcDbDatabase* host = drawing();
    ASSERT_EQ(run("-LINKHOLD\nSElect abs,trees\nOPEn\n"), 0) << output();
    EXPECT_TRUE(hasMarker(host));
    EXPECT_EQ(host->transactionManager()->numActiveTransactions(), 0);
    EXPECT_EQ(acDocManagerPtr()->documentCount(), 3);
    EXPECT_THAT(output(), Not(HasSubstr("internal use")));
}

}  // namespace
