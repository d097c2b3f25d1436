// Malformed input: every fault that is not mended (see dxf_repair_test.cpp) is a DxfError
// naming the line (or byte offset) and the problem.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "cadhost/db/dxf_document.h"
#include "cadhost/db/dxf_error.h"
#include "cadhost/db/dxf_tag_reader.h"
#include "dxf_test_support.h"

namespace {

using cadhost::dxf::Document;
using cadhost::dxf::DxfError;
using testing::HasSubstr;
using namespace std::string_literals;

const std::string kMinimal =
    "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  8\n0\n 10\n1.0\n  0\nENDSEC\n  0\nEOF\n";

DxfError readError(const std::string& bytes) {
    try {
        Document::fromBytes(bytes);
    } catch (const DxfError& error) {
        return error;
    }
    ADD_FAILURE() << "read without error";
    return DxfError("");
}

void expectErrorAtLine(const std::string& bytes, std::uint64_t line, const std::string& problem) {
    DxfError error = readError(bytes);
    EXPECT_EQ(error.place(), DxfError::Place::Line) << error.what();
    EXPECT_EQ(error.position(), line) << error.what();
    EXPECT_THAT(error.problem(), HasSubstr(problem));
}

TEST(DxfReaderErrors, BadGroupCodeLinesNameTheirLine) {
    expectErrorAtLine("  0\nSECTION\n  2\nENTITIES\nabc\nx\n", 5, "invalid group code 'abc'");
    expectErrorAtLine("  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n\n0\n", 7, "invalid group code");
    expectErrorAtLine("  0\nSECTION\n  2\nENTITIES\n 10.5\n1\n", 5, "invalid group code");
    expectErrorAtLine("  0\nSECTION\n  2\nENTITIES\n-1\n1\n", 5, "invalid group code");
    expectErrorAtLine("  0\nSECTION\n  2\nENTITIES\n1072\n1\n", 5, "out of range");
    expectErrorAtLine("  0\nSECTION\n  2\nENTITIES\n99999999999999999999\n1\n", 5, "out of range");
}

TEST(DxfReaderErrors, StructureFaultsNameTheirLine) {
    expectErrorAtLine("  8\n0\n", 1, "expected group code 0");
    expectErrorAtLine("  0\nLINE\n", 1, "'LINE' outside a section");
    expectErrorAtLine("  0\nENDSEC\n", 1, "ENDSEC outside a section");
    expectErrorAtLine("  0\nSECTION\n  8\nX\n", 3, "without a name");
}

// Faults of the structure that are mended read, and say where they were.
TEST(DxfReaderErrors, MendedStructureFaultsNameTheirLine) {
    const auto repairs = [](const std::string& bytes) {
        return Document::fromBytes(bytes).repairs();
    };
    using testing::ElementsAre;
    EXPECT_THAT(
        repairs("  0\nSECTION\n  2\nA\n  0\nSECTION\n  2\nB\n  0\nENDSEC\n  0\nEOF\n"),
        ElementsAre("line 5: section A has no ENDSEC before the next SECTION; one was added"));
    EXPECT_THAT(
        repairs("  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLAYER\n  0\nENDSEC\n  0\nEOF\n"),
        ElementsAre("line 9: table LAYER has no ENDTAB before ENDSEC; one was added"));
    EXPECT_THAT(repairs("  0\nSECTION\n  2\nTABLES\n  0\nENDTAB\n  0\nENDSEC\n  0\nEOF\n"),
                ElementsAre("line 5: an ENDTAB outside a table was left out"));
    EXPECT_THAT(repairs("  0\nSECTION\n  2\nA\n  0\nEOF\n"),
                ElementsAre("line 5: section A has no ENDSEC before EOF; one was added"));
}

TEST(DxfReaderErrors, TruncatedFilesSayWhatIsMissing) {
    expectErrorAtLine("  0\nSECTION\n  2\nENTITIES\n  0\n", 6, "before the value of group code 0");
    expectErrorAtLine("", 1, "without EOF");
    // Cut after whole tags: read with what it holds, and said so.
    EXPECT_THAT(Document::fromBytes("  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n").repairs(),
                testing::ElementsAre(HasSubstr("line 7: the file ends without EOF")));
}

// A cut inside a tag is an error; a cut between tags of an ASCII file reads mended (binary
// files are not mended); either way a file read unchanged writes back the bytes it had.
TEST(DxfReaderErrors, EveryTruncationOfARealFileIsAnErrorOrReadsAsItIs) {
    const auto& folder = dxftest::ezdxfFixtureFolder();
    for (const char* name : {"ezdxf_R12.dxf", "ezdxf_R12_binary.dxf"}) {
        SCOPED_TRACE(name);
        std::string bytes = dxftest::readBytes(folder / name);
        std::size_t eof = bytes.rfind("EOF");
        ASSERT_NE(eof, std::string::npos);
        // The EOF tag ends after its value: a line end may be missing, a NUL may not.
        std::size_t complete = eof + (bytes.starts_with("AutoCAD Binary") ? 4 : 3);
        for (std::size_t length = 0; length < bytes.size(); ++length) {
            std::string prefix = bytes.substr(0, length);
            std::optional<Document> doc;
            try {
                doc.emplace(Document::fromBytes(prefix));
            } catch (const DxfError&) {
                EXPECT_LT(length, complete);
                continue;
            }
            EXPECT_EQ(doc->repairs().empty(), length >= complete) << length;
            EXPECT_TRUE(doc->toBytes() == prefix) << length;
        }
    }
}

TEST(DxfReaderErrors, BinaryFaultsNameTheirByteOffset) {
    std::string sentinel(cadhost::dxf::kBinarySentinel);
    std::string section = sentinel + std::string("\0\0SECTION\0\x02\0ENTITIES\0", 21);
    struct Case {
        std::string bytes;
        std::uint64_t offset;
        std::string problem;
    };
    for (const Case& c : {
             Case{section + std::string("\x0a\0\x01\x02", 4), 43,
                  "inside the value of group code 10"},
             Case{section + std::string("\x01\0abc", 5), 43, "no terminating NUL"},
             Case{section + std::string("\xff\x7f", 2), 43, "group code 32767 out of range"},
             Case{section + std::string("\x36\x01\x09\x01", 4), 43, "group code 310"},
             Case{section + std::string("\x00", 1), 43, "inside a group code"},
         }) {
        DxfError error = readError(c.bytes);
        EXPECT_EQ(error.place(), DxfError::Place::ByteOffset) << error.what();
        EXPECT_EQ(error.position(), c.offset) << error.what();
        EXPECT_THAT(error.problem(), HasSubstr(c.problem));
    }
}

TEST(DxfReaderErrors, OverlongLinesAreRefusedBeforeTheyAreRead) {
    std::string huge(cadhost::dxf::kMaxLineBytes + 10, 'x');
    expectErrorAtLine("  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  1\n" + huge + "\n", 8,
                      "line longer than");
    expectErrorAtLine("  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  1\n" + huge, 8,
                      "line longer than");
    std::string binary = std::string(cadhost::dxf::kBinarySentinel) +
                         std::string("\0\0SECTION\0\x02\0ENTITIES\0\x01\0", 23) + huge;
    EXPECT_THAT(readError(binary).problem(), HasSubstr("string longer than"));
}

TEST(DxfReaderErrors, HarmlessOddsAreAcceptedAndKept) {
    // A byte order mark, comments before the first section, CR LF on some lines only, padded
    // group codes, no line end after EOF, bytes after EOF: all read and written back as they are.
    for (const std::string& bytes : {
             "\xEF\xBB\xBF" + kMinimal,
             "999\nmade by hand\n" + kMinimal,
             "  0\r\nSECTION\r\n  2\nENTITIES\n0\nENDSEC\n  0\t\nEOF"s,
             kMinimal + "\x1a\0garbage after the end"s,
         }) {
        Document doc = Document::fromBytes(bytes);
        EXPECT_TRUE(doc.toBytes() == bytes);
    }
}

TEST(DxfReaderErrors, LargeCountsInValuesAllocateNothing) {
    std::string bytes =
        "  0\nSECTION\n  2\nENTITIES\n  0\nLWPOLYLINE\n 90\n2147483647\n 10\n1\n 20\n2\n"
        "  0\nENDSEC\n  0\nEOF\n";
    Document doc = Document::fromBytes(bytes);
    EXPECT_TRUE(doc.toBytes() == bytes);
}

}  // namespace
