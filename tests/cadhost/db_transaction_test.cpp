// Transactions: objects got through them, ending, aborting, nesting.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cadhost/sdk/dbents.h"
#include "cadhost/sdk/dbtrans.h"
#include "db_test_support.h"
#include "dxf_test_support.h"

namespace {

using dbtest::Drawing;

AcDbObjectId addBlockToTransaction(AcDbDatabase& db, const char* name);

bool isLocked(AcDbObjectId layer) {
    AcDbLayerTableRecord* record = nullptr;
    EXPECT_EQ(acdbOpenObject(record, layer, AcDb::kForRead), Acad::eOk);
    bool locked = record->isLocked();
    record->close();
    return locked;
}

// Locks the layer through the top transaction.
void lockInTransaction(AcDbDatabase& db, AcDbObjectId layer) {
    AcDbObject* object = nullptr;
    ASSERT_EQ(db.transactionManager()->getObject(object, layer, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(AcDbLayerTableRecord::cast(object)->setIsLocked(true), Acad::eOk);
    EXPECT_EQ(object->close(), Acad::eOk);  // the transaction keeps it open
}

// Adds a layer through a block table got from the top transaction.
AcDbObjectId addLayerInTransaction(AcDbDatabase& db, const char* name) {
    AcDbObject* object = nullptr;
    EXPECT_EQ(db.transactionManager()->getObject(object, db.layerTableId(), AcDb::kForWrite),
              Acad::eOk);
    auto* record = new AcDbLayerTableRecord;
    record->setName(name);
    AcDbObjectId id;
    EXPECT_EQ(AcDbLayerTable::cast(object)->add(id, record), Acad::eOk);
    record->close();
    return id;
}

TEST(DbTransactions, EndWritesBackAndAbortRestoresChangesAndAdditions) {
    Drawing drawing("ezdxf_R2000.dxf");
    AcDbDatabase& db = *drawing.db;
    AcDbTransactionManager& tm = *db.transactionManager();
    AcDbObjectId walls = dbtest::layerId(db, "WALLS");
    EXPECT_EQ(tm.endTransaction(), Acad::eNoActiveTransactions);
    AcDbObject* object = nullptr;
    EXPECT_EQ(tm.getObject(object, walls, AcDb::kForRead), Acad::eNoActiveTransactions);

    tm.startTransaction();
    lockInTransaction(db, walls);
    AcDbObjectId added = addLayerInTransaction(db, "TEMP");
    AcDbObject* outside = nullptr;
    EXPECT_EQ(acdbOpenAcDbObject(outside, walls, AcDb::kForRead), Acad::eWasOpenForWrite);
    ASSERT_EQ(tm.abortTransaction(), Acad::eOk);
    EXPECT_FALSE(isLocked(walls));
    EXPECT_TRUE(dbtest::layerId(db, "TEMP").isNull());
    EXPECT_TRUE(added.isErased());

    tm.startTransaction();
    lockInTransaction(db, walls);
    addLayerInTransaction(db, "KEPT");
    ASSERT_EQ(tm.endTransaction(), Acad::eOk);
    EXPECT_TRUE(isLocked(walls));
    EXPECT_FALSE(dbtest::layerId(db, "KEPT").isNull());
    EXPECT_EQ(tm.numActiveTransactions(), 0);
}

TEST(DbTransactions, AbortOfTheOuterUndoesWhatEndedInnerTransactionsDid) {
    Drawing drawing("ezdxf_R2018.dxf");
    AcDbDatabase& db = *drawing.db;
    AcDbTransactionManager& tm = *db.transactionManager();
    AcDbObjectId walls = dbtest::layerId(db, "WALLS");

    tm.startTransaction();
    AcDbObject* outerView = nullptr;
    ASSERT_EQ(tm.getObject(outerView, walls, AcDb::kForRead), Acad::eOk);
    tm.startTransaction();
    lockInTransaction(db, walls);  // the same object, upgraded through the inner transaction
    AcDbObject* innerView = nullptr;
    ASSERT_EQ(tm.getObject(innerView, walls, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(innerView, outerView);
    addLayerInTransaction(db, "INNER");
    ASSERT_EQ(tm.abortTransaction(), Acad::eOk);
    EXPECT_FALSE(AcDbLayerTableRecord::cast(outerView)->isLocked());
    EXPECT_FALSE(outerView->isWriteEnabled());
    EXPECT_TRUE(dbtest::layerId(db, "INNER").isNull());

    tm.startTransaction();
    addLayerInTransaction(db, "ENDED");
    ASSERT_EQ(tm.endTransaction(), Acad::eOk);
    EXPECT_FALSE(dbtest::layerId(db, "ENDED").isNull());
    ASSERT_EQ(tm.abortTransaction(), Acad::eOk);
    EXPECT_TRUE(dbtest::layerId(db, "ENDED").isNull());
    EXPECT_EQ(tm.numActiveTransactions(), 0);

    // What changes while a transaction runs goes with its abort, also through objects opened
    // outside it; such an object stays open for whoever opened it, showing the drawing again.
    tm.startTransaction();
    AcDbLayerTableRecord* direct = nullptr;
    ASSERT_EQ(acdbOpenObject(direct, walls, AcDb::kForWrite), Acad::eOk);
    direct->setIsLocked(true);
    direct->close();
    AcDbLayerTableRecord* reader = nullptr;
    ASSERT_EQ(acdbOpenObject(reader, walls, AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(reader->isLocked());
    ASSERT_EQ(tm.abortTransaction(), Acad::eOk);
    EXPECT_TRUE(reader->isReadEnabled());
    EXPECT_FALSE(reader->isLocked());
    reader->close();
    EXPECT_FALSE(isLocked(walls));
}

// An abort leaves a drawing that saves byte for byte what it saved before: records changed,
// added and erased in between, header variables set or added, handles handed out, and whether
// it counts as changed since its last save.
TEST(DbTransactions, AbortGivesBackTheBytesTheDrawingSaved) {
    for (const char* name : {"ezdxf_R12.dxf", "ezdxf_R2000.dxf", "ezdxf_R2018.dxf"}) {
        SCOPED_TRACE(name);
        Drawing drawing(name);
        AcDbDatabase& db = *drawing.db;
        ASSERT_EQ(db.save(), Acad::eOk);
        const std::string before = dxftest::readBytes(drawing.path);
        AcDbTransactionManager& tm = *db.transactionManager();

        tm.startTransaction();
        AcDbLayerTableRecord* walls = nullptr;
        ASSERT_EQ(acdbOpenObject(walls, dbtest::layerId(db, "WALLS"), AcDb::kForWrite), Acad::eOk);
        walls->setIsLocked(true);
        walls->close();
        const AcDbObjectId added = addLayerInTransaction(db, "TEMP");
        ASSERT_EQ(db.setClayer(added), Acad::eOk);
        EXPECT_EQ(db.setVisretain(!db.visretain()), Acad::eOk);
        EXPECT_EQ(db.setProjectName("SITE"), Acad::eOk);
        tm.startTransaction();
        EXPECT_EQ(dbtest::setErased(dbtest::entityOfType(db, "DOOR", "LINE")), Acad::eOk);
        addBlockToTransaction(db, "INNER");
        ASSERT_EQ(tm.endTransaction(), Acad::eOk);
        EXPECT_TRUE(db.isModifiedSinceSave());
        ASSERT_EQ(tm.abortTransaction(), Acad::eOk);

        EXPECT_FALSE(db.isModifiedSinceSave());
        ASSERT_EQ(db.save(), Acad::eOk);
        EXPECT_TRUE(dxftest::readBytes(drawing.path) == before);
        // The handles are free again: the next record takes the one the first addition took.
        tm.startTransaction();
        const AcDbObjectId again = addLayerInTransaction(db, "AGAIN");
        EXPECT_EQ(again.handle(), added.handle());
        ASSERT_EQ(tm.endTransaction(), Acad::eOk);
    }
}

// A block with one polyline, added through a block table opened outside any transaction and
// handed to the top one.
AcDbObjectId addBlockToTransaction(AcDbDatabase& db, const char* name) {
    auto* block = new AcDbBlockTableRecord;
    block->setName(name);
    auto* polyline = new AcDbPolyline;
    block->appendAcDbEntity(polyline);
    polyline->close();
    AcDbBlockTable* table = nullptr;
    EXPECT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(table->add(id, block), Acad::eOk);
    table->close();
    EXPECT_EQ(db.transactionManager()->addNewlyCreatedDBRObject(block), Acad::eOk);
    EXPECT_EQ(block->close(), Acad::eOk);  // the transaction closes it
    return id;
}

TEST(DbTransactions, NewlyCreatedObjectsHandedToATransactionGoWithItsAbort) {
    for (const char* name : {"ezdxf_R12.dxf", "ezdxf_R2018.dxf"}) {
        SCOPED_TRACE(name);
        Drawing drawing(name);
        AcDbDatabase& db = *drawing.db;
        AcDbTransactionManager& tm = *db.transactionManager();
        AcDbLayerTableRecord loose;
        EXPECT_EQ(tm.addNewlyCreatedDBRObject(&loose), Acad::eNoActiveTransactions);

        tm.startTransaction();
        EXPECT_EQ(tm.addNewlyCreatedDBRObject(&loose), Acad::eNotInDatabase);
        AcDbObjectId block = addBlockToTransaction(db, "TEMP");
        EXPECT_TRUE(block.database() == &db);
        AcDbObject* object = nullptr;
        EXPECT_EQ(acdbOpenAcDbObject(object, block, AcDb::kForRead), Acad::eWasOpenForWrite);
        ASSERT_EQ(tm.abortTransaction(), Acad::eOk);
        EXPECT_TRUE(dbtest::blockId(db, "TEMP").isNull());
        ASSERT_EQ(db.save(), Acad::eOk);
        EXPECT_THAT(dxftest::ezdxfReport(drawing.path), testing::HasSubstr("\"audit_errors\": []"));
        EXPECT_THAT(dxftest::ezdxfReport(drawing.path), testing::Not(testing::HasSubstr("TEMP")));

        tm.startTransaction();
        block = addBlockToTransaction(db, "KEPT");
        ASSERT_EQ(tm.endTransaction(), Acad::eOk);
        ASSERT_EQ(acdbOpenAcDbObject(object, block, AcDb::kForWrite), Acad::eOk);  // closed
        object->close();
        EXPECT_FALSE(dbtest::entityOfType(db, "KEPT", "LWPOLYLINE").isNull());
    }
}

}  // namespace
