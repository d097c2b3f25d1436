// Erasing block definitions and layers: what is refused while in use, what goes with a block,
// and how aborts and unerasing bring it all back.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "cadhost/sdk/dbents.h"
#include "cadhost/sdk/dbtrans.h"
#include "db_test_support.h"
#include "dxf_test_support.h"

namespace {

using dbtest::Drawing;
using dbtest::setErased;
using testing::HasSubstr;
using testing::Not;

// The fixtures spell the model space block per release.
const char* modelSpaceName(AcDbDatabase& db) {
    return db.dxfVersion() == "AC1009" ? "$Model_Space" : "*Model_Space";
}

// The INSERT of the block in model space.
AcDbObjectId insertOf(AcDbDatabase& db, const char* block) {
    AcDbBlockTableRecord* space = nullptr;
    AcDbObjectId found;
    EXPECT_EQ(acdbOpenObject(space, dbtest::blockId(db, modelSpaceName(db)), AcDb::kForRead),
              Acad::eOk);
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

        std::string report = dxftest::ezdxfReport(drawing.path);
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
        std::string report = dxftest::ezdxfReport(drawing.path);
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

// The ids an iterator lists from start(forward) on, stepping the same way.
template <class Iterator, class GetId>
std::vector<AcDbObjectId> walk(Iterator& it, bool forward, bool skipDeleted, GetId getId) {
    std::vector<AcDbObjectId> ids;
    for (it.start(forward, skipDeleted); !it.done(); it.step(forward, skipDeleted)) {
        AcDbObjectId id;
        EXPECT_EQ((it.*getId)(id), Acad::eOk);
        ids.push_back(id);
    }
    return ids;
}

std::vector<AcDbObjectId> withoutErased(std::vector<AcDbObjectId> ids) {
    std::erase_if(ids, [](AcDbObjectId id) { return id.isErased(); });
    return ids;
}

TEST(DbErase, IteratorsListErasedObjectsWhereTheyStoodUnlessTheySkipThem) {
    for (const char* name : {"ezdxf_R12.dxf", "ezdxf_R2000.dxf"}) {
        SCOPED_TRACE(name);
        Drawing drawing(name);
        AcDbDatabase& db = *drawing.db;
        AcDbBlockTable* blocks = nullptr;
        ASSERT_EQ(db.getBlockTable(blocks, AcDb::kForRead), Acad::eOk);
        AcDbBlockTableIterator* blockIt = nullptr;
        blocks->newIterator(blockIt);
        AcDbLayerTable* layers = nullptr;
        ASSERT_EQ(db.getLayerTable(layers, AcDb::kForRead), Acad::eOk);
        AcDbLayerTableIterator* layerIt = nullptr;
        layers->newIterator(layerIt, false);
        const char* modelName = modelSpaceName(db);
        AcDbBlockTableRecord* model = nullptr;
        ASSERT_EQ(acdbOpenObject(model, dbtest::blockId(db, modelName), AcDb::kForRead), Acad::eOk);
        auto getRecord = &AcDbSymbolTableIterator::getRecordId;
        auto getEntity = &AcDbBlockTableRecordIterator::getEntityId;
        AcDbBlockTableRecordIterator* entityIt = nullptr;
        model->newIterator(entityIt);
        const auto blockIds = walk(*blockIt, true, true, getRecord);
        const auto layerIds = walk(*layerIt, false, true, getRecord);
        const auto entityIds = walk(*entityIt, true, true, getEntity);
        delete blockIt;
        delete layerIt;
        delete entityIt;

        ASSERT_EQ(setErased(dbtest::entityOfType(db, modelName, "TEXT")), Acad::eOk);
        ASSERT_EQ(setErased(dbtest::entityOfType(db, modelName, "LINE")), Acad::eOk);
        ASSERT_EQ(setErased(dbtest::layerId(db, "Größe")), Acad::eOk);  // the line's layer
        ASSERT_EQ(setErased(insertOf(db, "DOOR")), Acad::eOk);
        ASSERT_EQ(setErased(dbtest::blockId(db, "DOOR")), Acad::eOk);

        blocks->newIterator(blockIt, true, false);
        layers->newIterator(layerIt, false, false);
        model->newIterator(entityIt);
        EXPECT_EQ(walk(*blockIt, true, false, getRecord), blockIds);
        EXPECT_EQ(walk(*layerIt, false, false, getRecord), layerIds);
        EXPECT_EQ(walk(*entityIt, true, false, getEntity), entityIds);
        EXPECT_EQ(walk(*blockIt, true, true, getRecord), withoutErased(blockIds));
        EXPECT_EQ(walk(*layerIt, false, true, getRecord), withoutErased(layerIds));
        EXPECT_EQ(walk(*entityIt, true, true, getEntity), withoutErased(entityIds));
        EXPECT_EQ(withoutErased(blockIds).size() + 1, blockIds.size());
        EXPECT_EQ(withoutErased(entityIds).size() + 3, entityIds.size());

        entityIt->start(true, false);
        AcDbEntity* entity = nullptr;
        while (!entityIt->done() && entityIt->getEntity(entity, AcDb::kForRead) == Acad::eOk) {
            entity->close();
            entityIt->step(true, false);
        }
        ASSERT_FALSE(entityIt->done());  // stopped at the first erased entity
        EXPECT_EQ(entityIt->getEntity(entity, AcDb::kForRead), Acad::eWasErased);
        ASSERT_EQ(entityIt->getEntity(entity, AcDb::kForRead, true), Acad::eOk);
        EXPECT_TRUE(entity->isErased());
        entity->close();
        delete blockIt;
        delete layerIt;
        delete entityIt;

        AcDbObjectId found;
        EXPECT_EQ(blocks->getAt("DOOR", found), Acad::eKeyNotFound);
        ASSERT_EQ(blocks->getAt("DOOR", found, true), Acad::eOk);
        EXPECT_TRUE(found.isErased());
        model->close();
        blocks->close();
        layers->close();
    }
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
    std::string report = dxftest::ezdxfReport(drawing.path);
    EXPECT_THAT(report, HasSubstr("\"audit_errors\": []"));
    EXPECT_THAT(report, HasSubstr("\"CURRENT\""));
    EXPECT_THAT(report, Not(HasSubstr("SPARE")));
}

}  // namespace
