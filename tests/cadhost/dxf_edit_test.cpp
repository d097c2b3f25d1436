// Changes built as tags through the document's edit interface, saved, and read back by ezdxf,
// whose audit must find no error and which must see the same names and values.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "cadhost/db/dxf_document.h"
#include "dxf_test_support.h"
#include "support/temp_prefix.h"

namespace {

using cadhost::dxf::Document;
using cadhost::dxf::kNoRecord;
using cadhost::dxf::RecordId;
using cadhost::dxf::Tag;
using testing::HasSubstr;
using testing::Not;

RecordId findEntry(const Document& doc, RecordId from, RecordId to, std::string_view type,
                   std::string_view name = "") {
    for (RecordId id = from; id != to; id = doc.next(id)) {
        if (doc.type(id) != type) {
            continue;
        }
        for (const Tag& tag : doc.tags(id)) {
            if (name.empty() || (tag.code == 2 && tag.value == name)) {
                return id;
            }
        }
    }
    return kNoRecord;
}

// Builds the records of the changes in the shape the drawing's release needs.
class Edits {
  public:
    explicit Edits(Document& doc) : doc_(doc), modern_(doc.version() > "AC1009") {}

    // Common head of an entity or table entry: type, new handle, owner, subclass markers.
    std::vector<Tag> head(std::string type, std::uint64_t owner,
                          std::initializer_list<const char*> subclasses) {
        std::vector<Tag> tags{Tag::text(0, std::move(type)), Tag::handle(5, doc_.allocateHandle())};
        if (modern_) {
            tags.push_back(Tag::handle(330, owner));
            for (const char* subclass : subclasses) {
                tags.push_back(Tag::text(100, subclass));
            }
        }
        return tags;
    }

    void addTableEntry(const char* table, std::vector<Tag> values, const char* subclass) {
        auto range = doc_.table(table);
        ASSERT_TRUE(range);
        auto tags = head(table, doc_.handle(range->begin), {"AcDbSymbolTableRecord", subclass});
        tags.insert(tags.end(), values.begin(), values.end());
        doc_.insertBefore(range->end, std::move(tags));
    }

    std::vector<Tag> entity(const char* type, std::uint64_t owner, const char* layer,
                            const char* subclass) {
        auto tags = head(type, owner, {"AcDbEntity"});
        tags.push_back(Tag::text(8, layer));
        if (modern_) {
            tags.push_back(Tag::text(100, subclass));
        }
        return tags;
    }

    // A new block LNK_BLOCK holding one polyline (a LINE before R13) with xdata.
    void addBlock() {
        std::uint64_t owner = 0;
        if (modern_) {
            auto records = doc_.table("BLOCK_RECORD");
            auto tags = head("BLOCK_RECORD", doc_.handle(records->begin),
                             {"AcDbSymbolTableRecord", "AcDbBlockTableRecord"});
            tags.push_back(Tag::text(2, "LNK_BLOCK"));
            tags.push_back(Tag::text(340, "0"));
            RecordId record = doc_.insertBefore(records->end, std::move(tags));
            owner = doc_.handle(record);
        }
        RecordId end = doc_.section("BLOCKS")->end;
        auto begin = entity("BLOCK", owner, "0", "AcDbBlockBegin");
        for (Tag tag : {Tag::text(2, "LNK_BLOCK"), Tag::integer(70, 0), Tag::real(10, 0),
                        Tag::real(20, 0), Tag::real(30, 0), Tag::text(3, "LNK_BLOCK")}) {
            begin.push_back(tag);
        }
        doc_.insertBefore(end, std::move(begin));
        std::vector<Tag> shape;
        if (modern_) {
            shape = entity("LWPOLYLINE", owner, "NEWLAYER", "AcDbPolyline");
            shape.push_back(Tag::integer(90, 200));
            shape.push_back(Tag::integer(70, 0));
            for (int i = 0; i < 200; ++i) {
                shape.push_back(Tag::real(10, i));
                shape.push_back(Tag::real(20, i % 2 ? 0.5 : 0.0));
            }
        } else {
            shape = entity("LINE", owner, "NEWLAYER", "AcDbLine");
            for (Tag tag : {Tag::real(10, 0), Tag::real(20, 0), Tag::real(30, 0),
                            Tag::real(11, 199), Tag::real(21, 0.5), Tag::real(31, 0)}) {
                shape.push_back(tag);
            }
        }
        for (Tag tag :
             {Tag::text(1001, "LNKHOLD"), Tag::text(1000, "Größe 200"), Tag::integer(1070, 42)}) {
            shape.push_back(tag);
        }
        doc_.insertBefore(end, std::move(shape));
        doc_.insertBefore(end, entity("ENDBLK", owner, "0", "AcDbBlockEnd"));
    }

    void insertBlockInModelSpace() {
        std::uint64_t modelSpace = 0;
        if (modern_) {
            auto records = doc_.table("BLOCK_RECORD");
            modelSpace = doc_.handle(
                findEntry(doc_, records->begin, records->end, "BLOCK_RECORD", "*Model_Space"));
        }
        auto entities = doc_.section("ENTITIES");
        auto tags = entity("INSERT", modelSpace, "NEWLAYER", "AcDbBlockReference");
        for (Tag tag :
             {Tag::text(2, "LNK_BLOCK"), Tag::real(10, 1), Tag::real(20, 2), Tag::real(30, 0)}) {
            tags.push_back(tag);
        }
        doc_.insertAfter(doc_.previous(entities->end), std::move(tags));
    }

  private:
    Document& doc_;
    bool modern_;
};

TEST(DxfEdits, EzdxfAuditsAndReadsBackTableEntriesBlocksXdataAndErasures) {
    for (const char* name :
         {"ezdxf_R12.dxf", "ezdxf_R12_binary.dxf", "ezdxf_R2000.dxf", "ezdxf_R2004_binary.dxf",
          "ezdxf_R2018.dxf", "ezdxf_R2018_binary.dxf"}) {
        SCOPED_TRACE(name);
        testsupport::TempDir dir;
        std::filesystem::path path = dir.path() / name;
        std::filesystem::copy_file(dxftest::ezdxfFixtureFolder() / name, path);
        std::string original = dxftest::readBytes(path);

        Document doc = Document::load(path);
        bool modern = doc.version() > "AC1009";
        Edits edits(doc);
        edits.addTableEntry("APPID", {Tag::text(2, "LNKHOLD"), Tag::integer(70, 0)},
                            "AcDbRegAppTableRecord");
        edits.addTableEntry("LAYER",
                            {Tag::text(2, "NEWLAYER"), Tag::integer(70, 0), Tag::integer(62, 1),
                             Tag::text(6, "Continuous")},
                            "AcDbLayerTableRecord");
        edits.addBlock();
        edits.insertBlockInModelSpace();
        auto entities = doc.section("ENTITIES");
        doc.erase(findEntry(doc, entities->begin, entities->end, "TEXT"));
        doc.setHeaderVariable("$CLAYER", {Tag::text(8, "NEWLAYER")});
        doc.save(path);

        EXPECT_TRUE(dxftest::readBytes(dir.path() / (std::string(name) + ".bak")) == original);
        std::string report = dxftest::ezdxfReport(path);
        EXPECT_THAT(report, HasSubstr("\"audit_errors\": []"));
        EXPECT_THAT(report, HasSubstr("\"appids\": [\"ACAD\", \"EZDXF\", "));
        EXPECT_THAT(report, HasSubstr("\"LNKHOLD\""));
        EXPECT_THAT(report, HasSubstr("\"layers\": [\"0\", \"Defpoints\", \"Größe\", \"NEWLAYER\", "
                                      "\"WALLS\"]"));
        EXPECT_THAT(report, HasSubstr("\"clayer\": \"NEWLAYER\""));
        EXPECT_THAT(report, HasSubstr("\"xrefs\": {\"WHEEL\": \"parts/wheel.dxf\"}"));
        std::string xdata = "\"xdata_LNKHOLD\": [[1000, \"Größe 200\"], [1070, 42]]";
        EXPECT_THAT(report,
                    HasSubstr(modern ? "\"LNK_BLOCK\": [{\"last\": [199.0, 0.5], \"layer\": "
                                       "\"NEWLAYER\", \"points\": 200, \"type\": \"LWPOLYLINE\", "
                                       "\"vertex1\": [1.0, 0.5, 0.0, 0.0, 0.0], " +
                                           xdata + "}]"
                                     : "\"LNK_BLOCK\": [{\"layer\": \"NEWLAYER\", \"type\": "
                                       "\"LINE\", " +
                                           xdata + "}]"));
        EXPECT_THAT(report, HasSubstr("{\"layer\": \"Größe\", \"type\": \"LINE\", "
                                      "\"xdata_OTHERAPP\": [[1000, \"kept Größe\"], [1040, 2.5], "
                                      "[1070, 7]]}"));
        EXPECT_THAT(report,
                    HasSubstr("{\"layer\": \"NEWLAYER\", \"name\": \"LNK_BLOCK\", \"type\": "
                              "\"INSERT\"}]"));
        EXPECT_THAT(report, Not(HasSubstr("TEXT")));

        // Handles stay unique and below $HANDSEED; the layer table counts its new entry.
        Document reread = Document::load(path);
        std::uint64_t seed = cadhost::dxf::parseHandle(*reread.headerString("$HANDSEED")).value();
        std::set<std::uint64_t> handles;
        for (RecordId id = reread.first(); id != kNoRecord; id = reread.next(id)) {
            if (reread.handle(id)) {
                EXPECT_TRUE(handles.insert(reread.handle(id)).second) << reread.handle(id);
                EXPECT_LT(reread.handle(id), seed);
            }
        }
        auto layerTable = reread.tags(reread.table("LAYER")->begin);
        EXPECT_THAT(layerTable, testing::Contains(Tag::integer(70, 5)));
    }
}

TEST(DxfEdits, OnlyChangedRecordsAreWrittenAnew) {
    std::string original = dxftest::readBytes(dxftest::ezdxfFixtureFolder() / "ezdxf_R2000.dxf");
    Document doc = Document::fromBytes(original);
    auto entities = doc.section("ENTITIES");
    RecordId line = findEntry(doc, entities->begin, entities->end, "LINE");
    std::vector<Tag> tags = doc.tags(line);
    for (Tag& tag : tags) {
        if (tag.code == 8) {
            tag.value = "WALLS";
        }
    }
    doc.replaceTags(line, tags);
    std::string changed = doc.toBytes();

    // Everything outside the LINE is the original bytes: the file differs only there.
    std::size_t prefix = 0;
    while (prefix < changed.size() && changed[prefix] == original[prefix]) {
        ++prefix;
    }
    std::size_t suffix = 0;
    while (suffix < changed.size() &&
           changed[changed.size() - 1 - suffix] == original[original.size() - 1 - suffix]) {
        ++suffix;
    }
    std::string oldPart = original.substr(prefix, original.size() - suffix - prefix);
    std::string newPart = changed.substr(prefix, changed.size() - suffix - prefix);
    EXPECT_EQ(newPart, "WALLS");
    EXPECT_EQ(oldPart,
              "Gr\xF6\xDF"
              "e");  // "Größe" as the file stores it: Windows-1252
}

}  // namespace
