// The xref list as text: CSV records as RFC 4180 writes them, the command-line listing lined
// up for names in any script, and report files appended to by several processes at once.

#include "plugin/ops/xref_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "cadhost/dxf_test_support.h"
#include "platform/host_path.h"
#include "plugin/setfile/text_file.h"
#include "support/temp_prefix.h"

namespace {

using namespace lnkhold;

TEST(CsvRecord, QuotesOnlyFieldsThatNeedItAndDoublesTheirQuotes) {
    EXPECT_EQ(csvRecord({"plain", "", "Straße"}), "plain,,Straße\r\n");
    EXPECT_EQ(csvRecord({"a,b", "say \"hi\"", "two\nlines", "cr\r"}),
              "\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",\"cr\r\"\r\n");
    EXPECT_EQ(csvRecord({}), "\r\n");
}

std::unique_ptr<XrefRow> pendingRow(const std::string& path) {
    auto row = std::make_unique<XrefRow>();
    row->buildFromFile(path);
    row->addedFromFile = 1;  // as Add marks it
    return row;
}

TEST(RowListing, LinesUpColumnsByCharactersAndMarksSelectionAndColours) {
    XrefRowList rows;
    rows.append(pendingRow("C:\\p\\Ünïcødé.dwg"));
    rows.append(pendingRow("C:\\p\\ab.dwg"));
    const std::string listing = rowListing(rows, {1});
    std::istringstream lines(listing);
    std::vector<std::string> text;
    for (std::string line; std::getline(lines, line);) {
        text.push_back(line);
    }
    ASSERT_EQ(text.size(), 3u) << listing;
    EXPECT_EQ(text[0].substr(0, 13), "  Xref Name  ");
    // "Status" starts at the same character in every line: 2 + 9 ("Xref Name") + 2.
    const auto characterAt = [](const std::string& line, std::size_t characters) {
        std::size_t bytes = 0;
        for (std::size_t seen = 0; bytes < line.size() && seen < characters; ++bytes) {
            seen += (static_cast<unsigned char>(line[bytes + 1]) & 0xC0) != 0x80 ? 1 : 0;
        }
        return line.substr(bytes, 3);
    };
    EXPECT_EQ(characterAt(text[0], 13), "Sta");
    EXPECT_EQ(characterAt(text[1], 13), "Det");
    EXPECT_EQ(characterAt(text[2], 13), "Det");
    EXPECT_TRUE(text[1].starts_with("  Ünïcødé"));
    EXPECT_TRUE(text[2].starts_with("* ab "));
    EXPECT_THAT(text[2], testing::EndsWith("[added]"));
}

TEST(ReportRecords, HoldTheDrawingTheColumnsAndBothPaths) {
    XrefRowList rows;
    rows.append(pendingRow("C:\\p, q\\plan.dwg"));
    EXPECT_EQ(reportHeader(),
              "Drawing,Xref Name,Status,Path,Date modified,Size,Current,Notes,Full path,Found "
              "path\r\n");
    // A pending row has no found path; its missing file shows as the list shows it.
    EXPECT_EQ(reportRecords("D:\\site.dxf", rows),
              "D:\\site.dxf,plan,Detached,\"C:\\p, q\\\",,0 KB,Yes,added,\"C:\\p, "
              "q\\plan.dwg\",\r\n");
}

class ReportFile : public ::testing::Test {
  protected:
    std::string hostPath(const char* name) const {
        return platform::nativeToHost(prefix_.scratch() / name);
    }
    std::filesystem::path native(const char* name) const { return prefix_.scratch() / name; }

    testsupport::TempPrefix prefix_;
};

TEST_F(ReportFile, AppendStartsWithTheHeaderAndNeverTouchesAnotherFile) {
    EXPECT_EQ(appendFileText(hostPath("r.csv"), "H\r\n", "a\r\n"), "");
    EXPECT_EQ(appendFileText(hostPath("r.csv"), "H\r\n", "b\r\n"), "");
    EXPECT_EQ(dxftest::readBytes(native("r.csv")), "H\r\na\r\nb\r\n");

    std::ofstream(native("other.csv"), std::ios::binary) << "X\r\n";
    EXPECT_THAT(appendFileText(hostPath("other.csv"), "H\r\n", "a\r\n"),
                testing::HasSubstr("something else"));
    EXPECT_EQ(dxftest::readBytes(native("other.csv")), "X\r\n");

    std::filesystem::create_directory(native("folder.csv"));
    EXPECT_NE(appendFileText(hostPath("folder.csv"), "H\r\n", "a\r\n"), "");
    EXPECT_NE(appendFileText(hostPath("missing\\r.csv"), "H\r\n", "a\r\n"), "");
}

TEST_F(ReportFile, ProcessesAppendingAtOnceNeverMixTheirRecords) {
    const std::string path = hostPath("shared.csv");
    constexpr int kProcesses = 3;
    constexpr int kRecords = 200;
    std::vector<pid_t> children;
    for (int process = 0; process < kProcesses; ++process) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const std::string record = std::string(500, static_cast<char>('a' + process)) + "\r\n";
            int failures = 0;
            for (int i = 0; i < kRecords; ++i) {
                failures += appendFileText(path, "H\r\n", record + record).empty() ? 0 : 1;
            }
            _exit(failures == 0 ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::istringstream text(dxftest::readBytes(native("shared.csv")));
    std::string line;
    ASSERT_TRUE(std::getline(text, line));
    EXPECT_EQ(line, "H\r");
    std::map<char, int> counts;
    for (std::string first, second; std::getline(text, first) && std::getline(text, second);) {
        ASSERT_EQ(first, second);  // the two records of one append stay together
        ASSERT_EQ(first.size(), 501u);
        ASSERT_EQ(first.find_first_not_of(first[0]), 500u);
        ++counts[first[0]];
    }
    EXPECT_EQ(counts, (std::map<char, int>{{'a', kRecords}, {'b', kRecords}, {'c', kRecords}}));
}

}  // namespace
