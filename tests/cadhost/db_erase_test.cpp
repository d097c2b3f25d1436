// Erasing block definitions and layers: what is refused while in use, what goes with a block,
// and how aborts and unerasing bring it all back.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cadhost/sdk/dbents.h"
#include "cadhost/sdk/dbtrans.h"
#include "db_test_support.h"

namespace {

using dbtest::Drawing;
using dbtest::setErased;
using testing::HasSubstr;
using testing::Not;

// The INSERT of the block in model space, whose name the fixtures spell per release.
AcDbObjectId insertOf(AcDbDatabase& db, const char* block) {
    const char* model = db.dxfVersion() == "AC1009" ? "$Model_Space" : "*Model_Space";
    AcDbBlockTableRecord* space = nullptr;
    AcDbObjectId found;
    EXPECT_EQ(acdbOpenObject(space, dbtest::blockId(db, model), AcDb::kForRead), Acad::eOk);
    AcDbBlockTableRecordIterator* it = nullptr;
    space->newIterator(it);
    for (; !it->done(); it->step()) {
        AcDbBlockReference* reference = nullptr;
        AcDbObjectId id;
        it->getEntityId(id);
        if (acdbOpenObject(reference, id, AcDb::kForRead) == Acad::eOk) {
            if (reference->blockTableRecord() == dbtest::blockId(db, block)) {
                found = id;
            }
            reference->close();
        }
    }
    delete it;
    space->close();
    return found;
}

TEST(DbErase, ABlockInUseOrALayoutIsRefusedAndAFreeBlockGoesWithItsEntities) {
    for (const char* name : {"ezdxf_R12.dxf", "ezdxf_R2000.dxf", "ezdxf_R2018_binary.dxf"}) {
        SCOPED_TRACE(name);
        Drawing drawing(name);
        AcDbDatabase& db = *drawing.db;
        AcDbObjectId door = dbtest::blockId(db, "DOOR");
        AcDbObjectId line = dbtest::entityOfType(db, "DOOR", "LINE");
        ASSERT_FALSE(line.isNull());
        EXPECT_EQ(setErased(door), Acad::eObjectIsReferenced);
        EXPECT_FALSE(door.isErased());
        for (AcDbObjectId layout :
             {dbtest::blockId(db, "*Model_Space"), dbtest::blockId(db, "$Model_Space"),
              dbtest::blockId(db, "*Paper_Space")}) {
            if (!layout.isNull()) {
                EXPECT_EQ(setErased(layout), Acad::eNotApplicable);
            }
        }

        ASSERT_EQ(setErased(insertOf(db, "DOOR")), Acad::eOk);
        ASSERT_EQ(setErased(door), Acad::eOk);
        EXPECT_TRUE(door.isErased());
        EXPECT_TRUE(line.isErased());
        EXPECT_TRUE(dbtest::blockId(db, "DOOR").isNull());
        ASSERT_EQ(db.save(), Acad::eOk);

        std::string report = dbtest::ezdxfReport(drawing.path);
        EXPECT_THAT(report, HasSubstr("\"audit_errors\": []"));
        EXPECT_THAT(report, Not(HasSubstr("\"DOOR\"")));
        EXPECT_THAT(report, HasSubstr("\"WHEEL\": \"parts/wheel.dxf\""));
        AcDbDatabase reread(false);
        ASSERT_EQ(reread.readDxfFile(drawing.path.c_str()), Acad::eOk);
        EXPECT_TRUE(dbtest::blockId(reread, "DOOR").isNull());
        EXPECT_FALSE(dbtest::blockId(reread, "WHEEL").isNull());
        EXPECT_FALSE(insertOf(reread, "WHEEL").isNull());
    }
}

TEST(DbErase, AbortAndUneraseBringBackTheBlockWithItsEntitiesInPlace) {
    for (const char* name : {"ezdxf_R12.dxf", "ezdxf_R2004.dxf"}) {
        SCOPED_TRACE(name);
        Drawing drawing(name);
        AcDbDatabase& db = *drawing.db;
        AcDbTransactionManager& tm = *db.transactionManager();
        AcDbObjectId door = dbtest::blockId(db, "DOOR");
        AcDbObjectId line = dbtest::entityOfType(db, "DOOR", "LINE");
        AcDbObjectId reference = insertOf(db, "DOOR");

        ASSERT_EQ(setErased(reference), Acad::eOk);
        ASSERT_EQ(setErased(door), Acad::eOk);
        ASSERT_EQ(setErased(door, false), Acad::eOk);
        EXPECT_EQ(dbtest::blockId(db, "DOOR"), door);
        EXPECT_EQ(dbtest::entityOfType(db, "DOOR", "LINE"), line);
        EXPECT_EQ(setErased(door), Acad::eOk);  // no INSERT refers to it yet

        tm.startTransaction();
        ASSERT_EQ(setErased(reference, false), Acad::eOk);
        AcDbObject* object = nullptr;
        ASSERT_EQ(tm.getObject(object, door, AcDb::kForWrite, true), Acad::eOk);
        ASSERT_EQ(object->erase(false), Acad::eOk);
        ASSERT_EQ(tm.endTransaction(), Acad::eOk);
        EXPECT_EQ(setErased(door), Acad::eObjectIsReferenced);

        tm.startTransaction();
        ASSERT_EQ(setErased(reference), Acad::eOk);
        ASSERT_EQ(tm.getObject(object, door, AcDb::kForWrite), Acad::eOk);
        ASSERT_EQ(object->erase(), Acad::eOk);
        ASSERT_EQ(tm.abortTransaction(), Acad::eOk);
        EXPECT_FALSE(door.isErased());
        EXPECT_EQ(dbtest::entityOfType(db, "DOOR", "LINE"), line);

        ASSERT_EQ(db.save(), Acad::eOk);
        std::string report = dbtest::ezdxfReport(drawing.path);
        EXPECT_THAT(report, HasSubstr("\"audit_errors\": []"));
        EXPECT_THAT(report, HasSubstr("\"DOOR\": [{\"layer\": \"0\", \"type\": \"LINE\"}]"));
    }
}

TEST(DbErase, AnErasedBlocksNameTakenMeanwhileStopsItsUnerase) {
    Drawing drawing("ezdxf_R2000.dxf");
    AcDbDatabase& db = *drawing.db;
    AcDbObjectId door = dbtest::blockId(db, "DOOR");
    ASSERT_EQ(setErased(insertOf(db, "DOOR")), Acad::eOk);
    ASSERT_EQ(setErased(door), Acad::eOk);
    AcDbBlockTable* table = nullptr;
    ASSERT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
    auto* twin = new AcDbBlockTableRecord;
    twin->setName("door");
    ASSERT_EQ(table->add(twin), Acad::eOk);
    twin->close();
    table->close();
    EXPECT_EQ(setErased(door, false), Acad::eDuplicateRecordName);
    EXPECT_TRUE(door.isErased());
}

TEST(DbErase, LayersGoOnlyWhenNothingUsesThem) {
    Drawing drawing("ezdxf_R2018.dxf");
    AcDbDatabase& db = *drawing.db;
    EXPECT_EQ(setErased(dbtest::layerId(db, "0")), Acad::eNotApplicable);
    EXPECT_EQ(setErased(dbtest::layerId(db, "WALLS")), Acad::eObjectIsReferenced);

    AcDbLayerTable* table = nullptr;
    ASSERT_EQ(db.getLayerTable(table, AcDb::kForWrite), Acad::eOk);
    AcDbObjectId spare;
    for (const char* name : {"SPARE", "CURRENT"}) {
        auto* layer = new AcDbLayerTableRecord;
        layer->setName(name);
        ASSERT_EQ(table->add(spare, layer), Acad::eOk);
        layer->close();
    }
    table->close();
    ASSERT_EQ(db.setClayer(spare), Acad::eOk);  // CURRENT
    EXPECT_EQ(setErased(spare), Acad::eNotApplicable);

    ASSERT_EQ(setErased(dbtest::layerId(db, "SPARE")), Acad::eOk);
    EXPECT_TRUE(dbtest::layerId(db, "SPARE").isNull());
    ASSERT_EQ(db.save(), Acad::eOk);
    std::string report = dbtest::ezdxfReport(drawing.path);
    EXPECT_THAT(report, HasSubstr("\"audit_errors\": []"));
    EXPECT_THAT(report, HasSubstr("\"CURRENT\""));
    EXPECT_THAT(report, Not(HasSubstr("SPARE")));
}

}  // namespace
