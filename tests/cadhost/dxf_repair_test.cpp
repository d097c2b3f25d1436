// Damaged DXF structures read as other CAD programs read them: a section closed too early, a
// doubled ENDSEC, a missing ENDTAB, ENDSEC or EOF, a stray ENDTAB. What was mended is named
// with its line; saved unchanged the file keeps its bytes; saved after a change it is sound
// and ezdxf's strict reader reads it and audits it clean. Damage of other kinds stays an error.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cadhost/db/dxf_document.h"
#include "cadhost/db/dxf_error.h"
#include "dxf_test_support.h"
#include "support/temp_prefix.h"

namespace {

using cadhost::dxf::Document;
using cadhost::dxf::DxfError;
using cadhost::dxf::Tag;
using testing::AllOf;
using testing::ElementsAre;
using testing::HasSubstr;

// A real drawing (ezdxf's R12 fixture) with its text changed at the first place `find` is.
std::string damaged(const std::string& find, const std::string& replacement) {
    std::string bytes = dxftest::readBytes(dxftest::ezdxfFixtureFolder() / "ezdxf_R12.dxf");
    const std::size_t at = bytes.find(find);
    EXPECT_NE(at, std::string::npos) << find;
    return bytes.replace(at, find.size(), replacement);
}

// Saves the document after a change and checks what it wrote: sound by our reader and by
// ezdxf's strict one, with the layers and entities of the undamaged fixture.
void expectSoundAfterAChange(Document& doc) {
    doc.setHeaderVariable("$PROJECTNAME", {Tag{1, "mended"}});
    const testsupport::TempDir folder;
    const std::filesystem::path saved = folder.path() / "mended.dxf";
    doc.save(saved);
    EXPECT_TRUE(Document::load(saved).repairs().empty());
    const std::string report = dxftest::ezdxfReport(saved);
    const std::filesystem::path sound = dxftest::ezdxfFixtureFolder() / "ezdxf_R12.dxf";
    const std::string original = dxftest::ezdxfReport(sound);
    EXPECT_THAT(report, HasSubstr(R"("audit_errors": [])"));
    const auto part = [](const std::string& text, const char* key) {
        const std::size_t at = text.find(key);
        return at == std::string::npos ? std::string() : text.substr(at, text.find(']', at) - at);
    };
    EXPECT_EQ(part(report, "\"layers\""), part(original, "\"layers\""));
    EXPECT_EQ(part(report, "\"modelspace\""), part(original, "\"modelspace\""));
}

TEST(DxfRepair, AHeaderClosedTooEarlyGetsItsVariablesBack) {
    // ENDSEC after the second variable (line 13); more variables, then the header's own ENDSEC.
    const std::string bytes = damaged("  9\n$INSBASE\n", "  0\nENDSEC\n  9\n$INSBASE\n");
    Document doc = Document::fromBytes(bytes);
    ASSERT_EQ(doc.repairs().size(), 1u);
    EXPECT_THAT(doc.repairs()[0], AllOf(testing::StartsWith("line 13: "),
                                        HasSubstr("closed section HEADER too early")));
    EXPECT_TRUE(doc.headerString("$INSBASE").has_value());
    EXPECT_TRUE(doc.headerString("$EXTMAX").has_value());
    EXPECT_EQ(doc.toBytes(), bytes);  // unchanged: the bytes the file has
    expectSoundAfterAChange(doc);

    // The same without the header's own ENDSEC: it ends where the next SECTION begins.
    Document runOn = Document::fromBytes(
        damaged("  0\nENDSEC\n  0\nSECTION\n  2\nTABLES\n", "  0\nSECTION\n  2\nTABLES\n"));
    EXPECT_THAT(runOn.repairs(), ElementsAre(HasSubstr("no ENDSEC before the next SECTION")));
}

TEST(DxfRepair, MissingAndDoubledMarkersAreMendedWithTheirLines) {
    Document doubled =
        Document::fromBytes(damaged("  0\nENDSEC\n  0\nSECTION\n  2\nTABLES\n",
                                    "  0\nENDSEC\n  0\nENDSEC\n  0\nSECTION\n  2\nTABLES\n"));
    EXPECT_THAT(doubled.repairs(), ElementsAre(HasSubstr("a second ENDSEC was left out")));
    expectSoundAfterAChange(doubled);

    Document noEndtab = Document::fromBytes(damaged("  0\nENDTAB\n  0\nTABLE\n", "  0\nTABLE\n"));
    EXPECT_THAT(noEndtab.repairs(), ElementsAre(HasSubstr("has no ENDTAB before the next TABLE")));
    expectSoundAfterAChange(noEndtab);

    Document strayEndtab = Document::fromBytes(
        damaged("  0\nSECTION\n  2\nENTITIES\n", "  0\nSECTION\n  2\nENTITIES\n  0\nENDTAB\n"));
    EXPECT_THAT(strayEndtab.repairs(), ElementsAre(HasSubstr("ENDTAB outside a table")));
    expectSoundAfterAChange(strayEndtab);
}

TEST(DxfRepair, AFileCutShortKeepsWhatItHolds) {
    const std::string whole = dxftest::readBytes(dxftest::ezdxfFixtureFolder() / "ezdxf_R12.dxf");
    const std::string cut = whole.substr(0, whole.rfind("  0\nENDSEC"));
    Document doc = Document::fromBytes(cut);
    EXPECT_THAT(doc.repairs(), ElementsAre(HasSubstr("no ENDSEC before the end of the file"),
                                           HasSubstr("cut short")));
    EXPECT_EQ(doc.toBytes(), cut);
    expectSoundAfterAChange(doc);

    // The last line without its line end: the markers go on lines of their own.
    Document noLineEnd = Document::fromBytes(cut.substr(0, cut.size() - 1));
    doc.setHeaderVariable("$PROJECTNAME", {Tag{1, "x"}});
    noLineEnd.setHeaderVariable("$PROJECTNAME", {Tag{1, "x"}});
    EXPECT_EQ(noLineEnd.toBytes(), doc.toBytes());
}

TEST(DxfRepair, DamageOfOtherKindsStaysAnErrorWithItsLine) {
    for (const std::string& bytes :
         {std::string("  0\nLINE\n  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n  0\nEOF\n"),
          std::string("  0\nENDSEC\n  0\nEOF\n"), std::string("  0\nSECTION\n  8\nX\n"),
          std::string("  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n 10\n"), std::string("")}) {
        EXPECT_THROW(Document::fromBytes(bytes), DxfError) << bytes;
    }
    // A binary file is read as it is or not at all.
    std::string binary = dxftest::readBytes(dxftest::ezdxfFixtureFolder() / "ezdxf_R12_binary.dxf");
    EXPECT_THROW(Document::fromBytes(binary.substr(0, binary.size() - 8)), DxfError);
}

// Files from another program's DXF library whose HEADER is closed too early (see the README
// beside them): ezdxf's strict reader refuses them, we read every header variable they hold.
TEST(DxfRepair, DamagedFilesFromTheWildReadWhole) {
    const std::filesystem::path folder = std::filesystem::path(DXF_TEST_SOURCE_DIR) / "damaged";
    for (const char* name : {"librecad-pattern-misc01.dxf", "librecad-template-empty.dxf"}) {
        SCOPED_TRACE(name);
        const std::string bytes = dxftest::readBytes(folder / name);
        Document doc = Document::load(folder / name);
        EXPECT_THAT(doc.repairs(),
                    ElementsAre(AllOf(testing::StartsWith("line 15: "),
                                      HasSubstr("closed section HEADER too early"))));
        EXPECT_EQ(doc.headerString("$DIMSTYLE"), "Standard");
        EXPECT_EQ(doc.toBytes(), bytes);

        doc.setHeaderVariable("$PROJECTNAME", {Tag{1, "mended"}});
        const testsupport::TempDir scratch;
        doc.save(scratch.path() / name);
        EXPECT_TRUE(Document::load(scratch.path() / name).repairs().empty());
        EXPECT_THAT(dxftest::ezdxfReport(scratch.path() / name),
                    HasSubstr(R"("audit_errors": [])"));
    }
}

}  // namespace
