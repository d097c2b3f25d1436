// Non-ASCII symbol names through the object API in drawings stored in a code page (before
// 2007): written in the drawing's code page, or as \U+XXXX when it cannot hold a character,
// and read back as the same UTF-8 by the host and by ezdxf.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "cadhost/db/dxf_codepage.h"
#include "cadhost/sdk/acutads.h"
#include "cadhost/sdk/dbents.h"
#include "db_test_support.h"
#include "dxf_test_support.h"

namespace {

using dbtest::Drawing;
using testing::HasSubstr;

std::string nameOf(AcDbObjectId id) {
    AcDbSymbolTableRecord* record = nullptr;
    if (acdbOpenObject(record, id, AcDb::kForRead) != Acad::eOk) {
        return "(cannot open)";
    }
    const char* name = nullptr;
    std::string text = record->getName(name) == Acad::eOk ? name : "(no name)";
    record->close();
    return text;
}

void addLayer(AcDbDatabase& db, const char* name) {
    AcDbLayerTable* table = nullptr;
    ASSERT_EQ(db.getLayerTable(table, AcDb::kForWrite), Acad::eOk);
    auto* layer = new AcDbLayerTableRecord;
    ASSERT_EQ(layer->setName(name), Acad::eOk);
    AcDbObjectId id;
    ASSERT_EQ(table->add(id, layer), Acad::eOk);
    layer->close();
    table->close();
}

// A block holding a polyline on a layer.
void addBlock(AcDbDatabase& db, const char* name, const char* layer) {
    auto* block = new AcDbBlockTableRecord;
    ASSERT_EQ(block->setName(name), Acad::eOk);
    auto* line = new AcDbPolyline;
    ASSERT_EQ(line->addVertexAt(0, AcGePoint2d(0, 0)), Acad::eOk);
    ASSERT_EQ(line->addVertexAt(1, AcGePoint2d(1, 1)), Acad::eOk);
    ASSERT_EQ(line->setLayer(layer), Acad::eOk);
    ASSERT_EQ(block->appendAcDbEntity(line), Acad::eOk);
    line->close();
    AcDbBlockTable* table = nullptr;
    ASSERT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(table->add(block), Acad::eOk);
    block->close();
    table->close();
}

struct Case {
    const char* fixture;
    const char* existingLayer;  // written by ezdxf in the drawing's code page
    const char* name;           // a name the code page holds
    const char* stored;         // that name's bytes in the code page
};

TEST(DbCodepage, NonAsciiNamesAreWrittenInTheCodePageAndReadBackTheSame) {
    const char* const foreign = "雪";  // in neither code page: stored as \U+96EA
    for (const Case& c : {Case{"ezdxf_R2000.dxf", "Größe", "Ébauche-ü",
                               "\xC9"
                               "bauche-\xFC"},
                          Case{"ezdxf_R2000_cp1251.dxf", "Слой", "Слой-План",
                               "\xD1\xEB\xEE\xE9-\xCF\xEB\xE0\xED"}}) {
        SCOPED_TRACE(c.fixture);
        Drawing drawing(c.fixture);
        AcDbDatabase& db = *drawing.db;
        EXPECT_EQ(nameOf(dbtest::layerId(db, c.existingLayer)), c.existingLayer);
        addLayer(db, c.name);
        addBlock(db, c.name, c.name);
        addLayer(db, foreign);
        // ezdxf's audit takes an escape as a layer name for invalid, so no entity is on "雪".
        addBlock(db, foreign, c.name);
        EXPECT_EQ(nameOf(dbtest::layerId(db, c.name)), c.name);
        ASSERT_EQ(db.save(), Acad::eOk);

        std::string bytes = dxftest::readBytes(drawing.path);
        // Searched rather than matched so that a failure does not print the whole drawing.
        EXPECT_NE(bytes.find(std::string("\n") + c.stored + "\n"), std::string::npos);
        EXPECT_NE(bytes.find("\n\\U+96EA\n"), std::string::npos);

        AcDbDatabase reread(false);
        ASSERT_EQ(reread.readDxfFile(drawing.path.c_str()), Acad::eOk);
        for (const char* name : {c.existingLayer, c.name, foreign}) {
            EXPECT_EQ(nameOf(dbtest::layerId(reread, name)), name);
        }
        for (const char* name : {c.name, foreign}) {
            EXPECT_EQ(nameOf(dbtest::blockId(reread, name)), name);
            AcDbEntity* line = nullptr;
            ASSERT_EQ(acdbOpenObject(line, dbtest::entityOfType(reread, name, "LWPOLYLINE"),
                                     AcDb::kForRead),
                      Acad::eOk);
            char* layer = line->layer();
            EXPECT_STREQ(layer, c.name);
            acutDelString(layer);
            line->close();
        }

        // ezdxf decodes by $DWGCODEPAGE; it keeps \U+XXXX escapes as they are.
        std::string report = dxftest::ezdxfReport(drawing.path);
        EXPECT_THAT(report, HasSubstr("\"audit_errors\": []"));
        EXPECT_THAT(report, HasSubstr(std::string("\"") + c.existingLayer + "\""));
        EXPECT_THAT(report, HasSubstr(std::string("\"") + c.name +
                                      "\": [{\"last\": [1.0, 1.0], "
                                      "\"layer\": \"" +
                                      c.name + "\", \"points\": 2"));
    }
}

TEST(DbCodepage, CodePagesAreKnownByNameAndCopiesConvertBothWays) {
    using cadhost::dxf::Codepage;
    for (int ask = 0; ask < 2; ++ask) {  // the second answer comes from what the first learnt
        EXPECT_EQ(Codepage::fromDwgCodepage("ANSI_1251").name(), "CP1251");
        EXPECT_EQ(Codepage::fromDwgCodepage("ANSI_99999").name(), "CP1252");
        EXPECT_EQ(Codepage::fromDwgCodepage("").name(), "CP1252");
    }
    const Codepage cyrillic = Codepage::fromDwgCodepage("ansi_1251");
    const Codepage copy = cyrillic;  // before either converted anything
    EXPECT_EQ(copy.toUtf8("\xD1\xEB\xEE\xE9"), "Слой");
    EXPECT_EQ(cyrillic.fromUtf8("Слой-雪"), "\xD1\xEB\xEE\xE9-\\U+96EA");
    EXPECT_EQ(cyrillic.toUtf8("\xD1\xEB\xEE\xE9"), "Слой");
    EXPECT_EQ(Codepage::fromDwgCodepage("ANSI_1252")
                  .toUtf8("Gr\xF6\xDF"
                          "e"),
              "Größe");
}

}  // namespace
