// The object API's rules: ids, opening and closing, symbol tables, xref fields, extended data.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <unordered_set>

#include "cadhost/db/xref_state.h"
#include "cadhost/sdk/acutads.h"
#include "cadhost/sdk/dbapserv.h"
#include "cadhost/sdk/dbents.h"
#include "cadhost/sdk/dbtrans.h"
#include "db_test_support.h"

namespace {

using dbtest::Drawing;
using testing::HasSubstr;

TEST(DbObjects, ErrorCodesAndIdsBehaveAsTheHostDefinesThem) {
    EXPECT_EQ(Acad::eOk, 0);
    EXPECT_EQ(Acad::eInvalidInput, 3);
    EXPECT_EQ(Acad::eOutOfMemory, 6);
    EXPECT_EQ(Acad::eKeyNotFound, 22);

    Drawing drawing("ezdxf_R2000.dxf");
    AcDbObjectId walls = dbtest::layerId(*drawing.db, "walls");  // names ignore case
    AcDbObjectId zero = dbtest::layerId(*drawing.db, "0");
    ASSERT_FALSE(walls.isNull());
    EXPECT_TRUE(AcDbObjectId::kNull.isNull());
    EXPECT_EQ(walls, dbtest::layerId(*drawing.db, "WALLS"));
    EXPECT_NE(walls, zero);
    EXPECT_TRUE(walls < zero || zero < walls);
    std::unordered_set<AcDbObjectId> ids{walls, zero, dbtest::layerId(*drawing.db, "WALLS")};
    EXPECT_EQ(ids.size(), 2u);
    EXPECT_EQ(walls.database(), drawing.db.get());
}

TEST(DbObjects, ManyReadersOrOneWriterAndMisuseIsAnErrorResult) {
    Drawing drawing("ezdxf_R2000.dxf");
    AcDbObjectId id = dbtest::layerId(*drawing.db, "WALLS");
    AcDbObject* first = nullptr;
    AcDbObject* second = nullptr;
    AcDbObject* writer = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(first, id, AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(acdbOpenAcDbObject(second, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(first, second);
    EXPECT_EQ(acdbOpenAcDbObject(writer, id, AcDb::kForWrite), Acad::eWasOpenForRead);
    EXPECT_EQ(writer, nullptr);
    EXPECT_EQ(first->upgradeOpen(), Acad::eWasOpenForRead);  // another reader shares it
    auto* layer = AcDbLayerTableRecord::cast(first);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->setIsLocked(true), Acad::eNotOpenForWrite);
    EXPECT_EQ(second->close(), Acad::eOk);
    ASSERT_EQ(first->upgradeOpen(), Acad::eOk);
    EXPECT_EQ(acdbOpenAcDbObject(second, id, AcDb::kForRead), Acad::eWasOpenForWrite);
    EXPECT_EQ(layer->setIsLocked(true), Acad::eOk);
    EXPECT_EQ(layer->downgradeOpen(), Acad::eOk);  // writes the change back
    EXPECT_EQ(layer->downgradeOpen(), Acad::eNotOpenForWrite);
    EXPECT_EQ(layer->close(), Acad::eOk);

    AcDbLayerTableRecord* again = nullptr;
    ASSERT_EQ(acdbOpenObject(again, id, AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(again->isLocked());
    again->close();

    AcDbBlockTableRecord* notABlock = nullptr;
    EXPECT_EQ(acdbOpenObject(notABlock, id, AcDb::kForRead), Acad::eNotThatKindOfClass);
    EXPECT_EQ(acdbOpenAcDbObject(first, id, AcDb::kForWrite), Acad::eOk);  // nothing left open
    first->close();
    EXPECT_EQ(acdbOpenAcDbObject(first, AcDbObjectId::kNull, AcDb::kForRead), Acad::eNullObjectId);

    AcDbLayerTableRecord loose;
    EXPECT_EQ(loose.close(), Acad::eNotInDatabase);
}

TEST(DbObjects, ErasedObjectsOpenOnlyWhenAskedAndCanBeUnerased) {
    Drawing drawing("ezdxf_R2018.dxf");
    AcDbObjectId text = dbtest::entityOfType(*drawing.db, "*Model_Space", "TEXT");
    ASSERT_FALSE(text.isNull());
    AcDbObject* object = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(object, text, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(object->erase(false), Acad::eWasNotErased);
    ASSERT_EQ(object->erase(), Acad::eOk);
    EXPECT_EQ(object->close(), Acad::eOk);
    EXPECT_TRUE(text.isErased());

    EXPECT_EQ(acdbOpenAcDbObject(object, text, AcDb::kForRead), Acad::eWasErased);
    ASSERT_EQ(acdbOpenAcDbObject(object, text, AcDb::kForWrite, true), Acad::eOk);
    EXPECT_TRUE(object->isErased());
    EXPECT_EQ(object->erase(false), Acad::eOk);
    object->close();
    EXPECT_FALSE(text.isErased());
    EXPECT_EQ(dbtest::entityOfType(*drawing.db, "*Model_Space", "TEXT"), text);
}

TEST(DbObjects, AnObjectLeftOpenIsReportedWhenItsDatabaseGoesAway) {
    auto drawing = std::make_unique<Drawing>("ezdxf_R2000.dxf");
    AcDbObject* object = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(object, dbtest::layerId(*drawing->db, "0"), AcDb::kForRead),
              Acad::eOk);
    acdbHostApplicationServices()->setWorkingDatabase(drawing->db.get());
    testing::internal::CaptureStderr();
    drawing->db.reset();
    std::string report = testing::internal::GetCapturedStderr();
    EXPECT_THAT(report, HasSubstr("was not closed"));
    EXPECT_THAT(report, HasSubstr("ezdxf_R2000.dxf"));
    EXPECT_EQ(acdbHostApplicationServices()->workingDatabase(), nullptr);
}

TEST(DbObjects, LayerTableLookUpAddAndCurrentLayer) {
    Drawing drawing("ezdxf_R2004.dxf");
    AcDbDatabase& db = *drawing.db;
    AcDbLayerTable* table = nullptr;
    ASSERT_EQ(db.getLayerTable(table, AcDb::kForRead), Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(table->getAt("0_plan", id), Acad::eKeyNotFound);
    auto* layer = new AcDbLayerTableRecord;
    ASSERT_EQ(layer->setName("0_plan"), Acad::eOk);
    EXPECT_EQ(table->add(layer), Acad::eNotOpenForWrite);
    ASSERT_EQ(table->upgradeOpen(), Acad::eOk);
    ASSERT_EQ(table->add(id, layer), Acad::eOk);
    EXPECT_EQ(layer->objectId(), id);
    EXPECT_TRUE(layer->isWriteEnabled());
    layer->close();

    auto* twin = new AcDbLayerTableRecord;
    twin->setName("0_PLAN");
    EXPECT_EQ(table->add(twin), Acad::eDuplicateRecordName);
    EXPECT_EQ(twin->setName("bad|name"), Acad::eInvalidInput);
    delete twin;
    auto* block = new AcDbBlockTableRecord;
    block->setName("ABLOCK");
    EXPECT_EQ(table->add(block), Acad::eNotThatKindOfClass);
    delete block;
    table->close();

    EXPECT_EQ(db.clayer(), dbtest::layerId(db, "0"));
    ASSERT_EQ(db.setClayer(id), Acad::eOk);
    EXPECT_EQ(db.clayer(), id);
    EXPECT_EQ(db.setClayer(dbtest::blockId(db, "DOOR")), Acad::eInvalidInput);
    EXPECT_EQ(db.clayer(), id);
}

// A reference names its block; the look-up by name keeps up with blocks added and renamed,
// and with changes taken back.
TEST(DbObjects, AReferenceFindsItsBlockByNameAcrossEdits) {
    Drawing drawing("ezdxf_R2004.dxf");
    AcDbDatabase& db = *drawing.db;
    const AcDbObjectId door = dbtest::blockId(db, "DOOR");
    const AcDbObjectId insert = dbtest::entityOfType(db, "*Model_Space", "INSERT");
    auto blockOf = [&] {
        AcDbBlockReference* reference = nullptr;
        EXPECT_EQ(acdbOpenObject(reference, insert, AcDb::kForRead), Acad::eOk);
        AcDbObjectId block = reference ? reference->blockTableRecord() : AcDbObjectId::kNull;
        if (reference) {
            reference->close();
        }
        return block;
    };
    auto pointAt = [&](AcDbObjectId block) {
        AcDbBlockReference* reference = nullptr;
        ASSERT_EQ(acdbOpenObject(reference, insert, AcDb::kForWrite), Acad::eOk);
        EXPECT_EQ(reference->setBlockTableRecord(block), Acad::eOk);
        reference->close();
    };
    auto rename = [](AcDbObjectId block, const char* name) {
        AcDbBlockTableRecord* record = nullptr;
        if (Acad::ErrorStatus es = acdbOpenObject(record, block, AcDb::kForWrite);
            es != Acad::eOk) {
            return es;
        }
        const Acad::ErrorStatus es = record->setName(name);
        record->close();
        return es;
    };
    ASSERT_FALSE(insert.isNull());
    EXPECT_EQ(blockOf(), dbtest::blockId(db, "WHEEL"));

    AcDbBlockTable* table = nullptr;
    ASSERT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
    auto* gate = new AcDbBlockTableRecord;
    gate->setName("Gate");
    AcDbObjectId gateId;
    ASSERT_EQ(table->add(gateId, gate), Acad::eOk);
    gate->close();
    table->close();
    pointAt(gateId);
    EXPECT_EQ(blockOf(), gateId);

    EXPECT_EQ(rename(door, "GATE"), Acad::eDuplicateRecordName);
    EXPECT_EQ(rename(gateId, "Portal"), Acad::eOk);
    EXPECT_EQ(rename(door, "gate"), Acad::eOk);  // the old name is free again
    EXPECT_EQ(blockOf(), door);                  // the reference still says "Gate"
    EXPECT_EQ(rename(door, "DOOR"), Acad::eOk);
    EXPECT_EQ(blockOf(), AcDbObjectId::kNull);  // nothing is called "Gate" any more

    AcDbTransactionManager& tm = *db.transactionManager();
    pointAt(door);
    tm.startTransaction();
    AcDbObject* object = nullptr;
    ASSERT_EQ(tm.getObject(object, insert, AcDb::kForWrite), Acad::eOk);
    auto* reference = AcDbBlockReference::cast(object);
    ASSERT_EQ(reference->setBlockTableRecord(gateId), Acad::eOk);
    EXPECT_EQ(reference->blockTableRecord(), gateId);
    ASSERT_EQ(tm.abortTransaction(), Acad::eOk);
    EXPECT_EQ(blockOf(), door);
}

TEST(DbObjects, XrefFieldsOfBlockRecords) {
    Drawing drawing("ezdxf_R2000.dxf");
    AcDbDatabase& db = *drawing.db;
    AcDbObjectId wheel = dbtest::blockId(db, "WHEEL");
    AcDbBlockTableRecord* record = nullptr;
    ASSERT_EQ(acdbOpenObject(record, wheel, AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(record->isFromExternalReference());
    EXPECT_FALSE(record->isFromOverlayReference());
    EXPECT_EQ(record->xrefStatus(), AcDb::kXrfFileNotFound);
    EXPECT_EQ(record->xrefDatabase(), nullptr);
    const char* path = nullptr;
    ASSERT_EQ(record->pathName(path), Acad::eOk);
    EXPECT_STREQ(path, "parts/wheel.dxf");
    EXPECT_EQ(record->setPathName("wheel.dxf"), Acad::eNotOpenForWrite);
    ASSERT_EQ(record->upgradeOpen(), Acad::eOk);
    ASSERT_EQ(record->setPathName("C:\\lib\\wheel.dwg"), Acad::eOk);
    record->close();

    AcDbDatabase loaded;
    cadhost::db::setXrefState(wheel, AcDb::kXrfResolved, &loaded);
    ASSERT_EQ(acdbOpenObject(record, wheel, AcDb::kForRead), Acad::eOk);
    char* copy = nullptr;
    record->pathName(copy);
    EXPECT_STREQ(copy, "C:\\lib\\wheel.dwg");
    acutDelString(copy);
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(record->xrefStatus(), AcDb::kXrfResolved);
    EXPECT_EQ(record->xrefDatabase(), &loaded);
    record->close();

    AcDbBlockTableRecord* door = nullptr;
    ASSERT_EQ(acdbOpenObject(door, dbtest::blockId(db, "DOOR"), AcDb::kForRead), Acad::eOk);
    EXPECT_FALSE(door->isFromExternalReference());
    EXPECT_EQ(door->xrefStatus(), AcDb::kXrfNotAnXref);
    door->close();
}

TEST(DbObjects, LayoutBlocksAnswerToTheHostsNamesAndEntitiesKnowTheirBlockWithoutOwnerHandles) {
    for (const char* name : {"ezdxf_R12.dxf", "ezdxf_R12_binary.dxf", "ezdxf_R2000.dxf"}) {
        SCOPED_TRACE(name);
        Drawing drawing(name);
        AcDbDatabase& db = *drawing.db;
        // R12 files spell the layout blocks "$Model_Space" and "$Paper_Space".
        const AcDbObjectId model = dbtest::blockId(db, "*MODEL_SPACE");
        const AcDbObjectId paper = dbtest::blockId(db, "*Paper_Space");
        ASSERT_FALSE(model.isNull());
        ASSERT_FALSE(paper.isNull());
        EXPECT_NE(model, paper);
        if (std::string(name).starts_with("ezdxf_R12")) {
            EXPECT_EQ(model, dbtest::blockId(db, "$Model_Space"));
        }

        auto blockOf = [](AcDbObjectId entity) {
            AcDbEntity* object = nullptr;
            EXPECT_EQ(acdbOpenObject(object, entity, AcDb::kForRead), Acad::eOk);
            const AcDbObjectId block = object ? object->blockId() : AcDbObjectId::kNull;
            if (object) {
                object->close();
            }
            return block;
        };
        EXPECT_EQ(blockOf(dbtest::entityOfType(db, "DOOR", "LINE")), dbtest::blockId(db, "DOOR"));
        EXPECT_EQ(blockOf(dbtest::entityOfType(db, "*Model_Space", "INSERT")), model);

        AcDbBlockTableRecord* space = nullptr;
        ASSERT_EQ(acdbOpenObject(space, paper, AcDb::kForWrite), Acad::eOk);
        auto* reference = new AcDbBlockReference(AcGePoint3d::kOrigin, dbtest::blockId(db, "DOOR"));
        AcDbObjectId placed;
        ASSERT_EQ(space->appendAcDbEntity(placed, reference), Acad::eOk);
        reference->close();
        space->close();
        EXPECT_EQ(blockOf(placed), paper);
    }
}

class DbXdata : public testing::Test {
  protected:
    DbXdata() : drawing("ezdxf_R2000.dxf") {
        acdbHostApplicationServices()->setWorkingDatabase(drawing.db.get());
        line = dbtest::entityOfType(*drawing.db, "*Model_Space", "LINE");
    }
    ~DbXdata() override { acdbHostApplicationServices()->setWorkingDatabase(nullptr); }

    // Every application's extended data of the line, as "code:value" text.
    std::string lineXdata() {
        AcDbObject* object = nullptr;
        EXPECT_EQ(acdbOpenAcDbObject(object, line, AcDb::kForRead), Acad::eOk);
        resbuf* chain = object->xData();
        object->close();
        std::string text;
        for (resbuf* rb = chain; rb; rb = rb->rbnext) {
            text += std::to_string(rb->restype) + ":";
            if (acutRbHoldsString(rb->restype)) {
                text += rb->resval.rstring;
            } else if (rb->restype == 1070) {
                text += std::to_string(rb->resval.rint);
            } else if (rb->restype == 1040) {
                text += std::to_string(rb->resval.rreal);
            }
            text += " ";
        }
        acutRelRb(chain);
        return text;
    }

    Acad::ErrorStatus setLineXdata(resbuf* chain) {
        AcDbObject* object = nullptr;
        EXPECT_EQ(acdbOpenAcDbObject(object, line, AcDb::kForWrite), Acad::eOk);
        Acad::ErrorStatus es = object->setXData(chain);
        object->close();
        acutRelRb(chain);
        return es;
    }

    Drawing drawing;
    AcDbObjectId line;
};

TEST_F(DbXdata, ApplicationsAreReplacedOneByOneAndOthersKept) {
    const std::string other = "1001:OTHERAPP 1000:kept Größe 1040:2.500000 1070:7 ";
    ASSERT_EQ(lineXdata(), other);
    EXPECT_EQ(setLineXdata(dbtest::xdataChain("LNKHOLD", {"C:\\p\\a"}, {1, 0})),
              Acad::eRegappIdNotFound);
    EXPECT_EQ(lineXdata(), other);

    ASSERT_TRUE(acdbRegApp("LNKHOLD"));
    EXPECT_TRUE(acdbRegApp("LNKHOLD"));  // registering twice is fine
    ASSERT_EQ(setLineXdata(dbtest::xdataChain("LNKHOLD", {"C:\\p\\a", "D:\\q\\b"}, {1, 0})),
              Acad::eOk);
    EXPECT_EQ(lineXdata(), other + "1001:LNKHOLD 1000:C:\\p\\a 1000:D:\\q\\b 1070:1 1070:0 ");
    ASSERT_EQ(setLineXdata(dbtest::xdataChain("lnkhold", {"E:\\c"})), Acad::eOk);
    EXPECT_EQ(lineXdata(), other + "1001:lnkhold 1000:E:\\c ");

    AcDbObject* object = nullptr;
    ASSERT_EQ(acdbOpenAcDbObject(object, line, AcDb::kForRead), Acad::eOk);
    resbuf* mine = object->xData("LNKHOLD");
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(mine->restype, 1001);
    ASSERT_NE(mine->rbnext, nullptr);
    EXPECT_STREQ(mine->rbnext->resval.rstring, "E:\\c");
    EXPECT_EQ(mine->rbnext->rbnext, nullptr);
    acutRelRb(mine);
    EXPECT_EQ(object->xData("NOBODY"), nullptr);
    object->close();

    ASSERT_EQ(setLineXdata(dbtest::xdataChain("LNKHOLD", {})), Acad::eOk);  // removes it
    EXPECT_EQ(lineXdata(), other);
}

TEST_F(DbXdata, MalformedChainsAndTheSizeLimitFailAndChangeNothing) {
    ASSERT_TRUE(acdbRegApp("LNKHOLD"));
    const std::string before = lineXdata();
    resbuf* noApp = acutNewRb(1000);
    acutNewString("text", noApp->resval.rstring);
    EXPECT_EQ(setLineXdata(noApp), Acad::eInvalidInput);
    EXPECT_EQ(setLineXdata(dbtest::xdataChain("LNKHOLD", {"two\nlines"})), Acad::eInvalidInput);

    // OTHERAPP's data counts (2+9) + (2+13) + (2+8) + (2+2) = 40, 1001 LNKHOLD 2+8 = 10, each
    // 1000 group of 200 bytes 2+201 = 203: with 80 of them 16290; a last text of 90 bytes
    // (2+91) makes 16383, the limit.
    std::string text(200, 'x');
    std::vector<const char*> texts(80, text.c_str());
    auto chainOf = [&](const std::vector<const char*>& items, const char* last) {
        resbuf* chain = dbtest::xdataChain("LNKHOLD", {});
        resbuf* tail = chain;
        for (const char* item : items) {
            tail = tail->rbnext = acutNewRb(1000);
            acutNewString(item, tail->resval.rstring);
        }
        if (last) {
            tail = tail->rbnext = acutNewRb(1000);
            acutNewString(last, tail->resval.rstring);
        }
        return chain;
    };
    EXPECT_EQ(setLineXdata(chainOf(texts, std::string(91, 'y').c_str())), Acad::eXdataSizeExceeded);
    EXPECT_EQ(lineXdata(), before);
    ASSERT_EQ(setLineXdata(chainOf(texts, std::string(90, 'y').c_str())), Acad::eOk);
    EXPECT_NE(lineXdata(), before);
}

}  // namespace
