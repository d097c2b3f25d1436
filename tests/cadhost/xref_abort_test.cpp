// An abort of a transaction that xref operations ran in puts the drawing back as it was: it
// saves the same bytes, and its xrefs show the same statuses, found files, loaded drawings
// (the very same databases) and graph. Ending the transaction keeps what was done.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "cadhost/xref/xref_operations.h"
#include "db_test_support.h"
#include "xref_site.h"
#include "xref_test_support.h"

namespace {

using xreftest::Copy;
using xreftest::Site;

// Everything an abort must give back, read from one open copy.
struct Snapshot {
    explicit Snapshot(Copy& copy) : state(copy.state()), saved(copy.saved()) {
        for (const char* name : {"A", "B", "C", "S", "R", "F1", "SHARED", "DEEP"}) {
            if (!dbtest::blockId(copy.db, name).isNull()) {
                loaded[name] = xreftest::loadedOf(copy.db, name);
            }
        }
    }
    std::string state;
    std::string saved;
    std::map<std::string, AcDbDatabase*> loaded;
};

// The lines around the first place where two saved files differ.
std::string firstDifference(const std::string& a, const std::string& b) {
    const auto at = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    const auto offset = static_cast<std::size_t>(at.first - a.begin());
    const std::size_t from = offset > 200 ? offset - 200 : 0;
    return "after:\n" + a.substr(from, 400) + "\nbefore:\n" + b.substr(from, 400);
}

void expectSame(const Snapshot& before, Copy& copy) {
    const Snapshot after(copy);
    EXPECT_EQ(after.state, before.state);
    EXPECT_TRUE(after.saved == before.saved) << firstDifference(after.saved, before.saved);
    EXPECT_EQ(after.loaded, before.loaded);
}

// Runs `work` in a transaction of the copy, checks that it changed the drawing, aborts and
// expects everything as before, the drawing unchanged since its last save.
void expectAbortUndoes(Copy& copy, const std::function<void(Copy&)>& work) {
    const Snapshot before(copy);
    AcDbTransactionManager& transactions = *copy.db.transactionManager();
    transactions.startTransaction();
    work(copy);
    EXPECT_TRUE(copy.db.isModifiedSinceSave()) << "the work changed nothing";
    ASSERT_EQ(transactions.abortTransaction(), Acad::eOk);
    EXPECT_FALSE(copy.db.isModifiedSinceSave());
    expectSame(before, copy);
}

AcDbObjectId modelSpace(Copy& copy) {
    return dbtest::blockId(copy.db, "*Model_Space");
}

Acad::ErrorStatus attach(Copy& copy, const std::string& path, const char* name, bool overlay) {
    cadhost::xref::AttachRequest request;
    request.path = path;
    request.name = name;
    request.overlay = overlay;
    request.space = modelSpace(copy);
    AcDbObjectId block;
    AcDbObjectId reference;
    return cadhost::xref::attachXref(*copy.xrefs, request, block, reference);
}

void setPath(Copy& copy, const char* name, const char* path) {
    AcDbBlockTableRecord* block = nullptr;
    ASSERT_EQ(acdbOpenObject(block, dbtest::blockId(copy.db, name), AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(block->setPathName(path), Acad::eOk);
    block->close();
}

TEST(XrefAbort, AttachAndOverlayIncludingOnesThatLoadNestedXrefs) {
    Site site;
    Copy copy(site, "fast.dxf");
    expectAbortUndoes(copy, [&site](Copy& c) {
        EXPECT_EQ(attach(c, site.hostFolder + "\\n1.dxf", "N1", false), Acad::eOk);
        EXPECT_EQ(attach(c, "n2.dxf", "N2", true), Acad::eOk);  // inserts ONLYA: full update
        EXPECT_EQ(attach(c, "n2.dxf", "N3", false), Acad::eOk);
        EXPECT_EQ(xreftest::statusOf(c.db, "N3"), AcDb::kXrfResolved);
    });
    EXPECT_TRUE(dbtest::blockId(copy.db, "N1").isNull());
}

TEST(XrefAbort, DetachesOfPlainSharedAndNestingXrefs) {
    Site site;
    Copy copy(site, "fast.dxf");
    expectAbortUndoes(copy, [](Copy& c) {
        for (const char* name : {"F1", "A", "C", "R", "GONE"}) {
            EXPECT_EQ(cadhost::xref::detachXref(*c.xrefs, name), Acad::eOk) << name;
        }
        EXPECT_TRUE(dbtest::blockId(c.db, "DEEPER").isNull());
    });
    EXPECT_EQ(xreftest::statusOf(copy.db, "DEEPER"), AcDb::kXrfResolved);
}

TEST(XrefAbort, UnloadReloadAndRepathedXrefsReadAgain) {
    Site site;
    Copy copy(site, "fast.dxf");
    expectAbortUndoes(copy, [](Copy& c) {
        const AcDbObjectId a = dbtest::blockId(c.db, "A");
        EXPECT_EQ(cadhost::xref::unloadXrefs(*c.xrefs, {a, dbtest::blockId(c.db, "C")}), Acad::eOk);
        EXPECT_EQ(xreftest::statusOf(c.db, "A"), AcDb::kXrfUnloaded);
        // A repath to a file without xrefs, and stripped paths, then everything read anew.
        setPath(c, "A", "f2.dxf");
        setPath(c, "B", "b.dxf");
        std::vector<AcDbObjectId> all;
        for (const char* name : {"A", "B", "C", "S", "R", "F1"}) {
            all.push_back(dbtest::blockId(c.db, name));
        }
        EXPECT_EQ(cadhost::xref::reloadXrefs(*c.xrefs, all), Acad::eOk);
        EXPECT_EQ(xreftest::statusOf(c.db, "B"), AcDb::kXrfFileNotFound);
        EXPECT_TRUE(dbtest::blockId(c.db, "ONLYA").isNull() ||
                    xreftest::statusOf(c.db, "ONLYA") != AcDb::kXrfResolved);
    });
    // The loaded drawings are the ones read before: reloading inside did not replace them.
    EXPECT_EQ(xreftest::statusOf(copy.db, "A"), AcDb::kXrfResolved);
}

TEST(XrefAbort, InsertBindsWithNestedXrefsAndPrefixedBinds) {
    Site site;
    Copy copy(site, "fast.dxf");
    expectAbortUndoes(copy, [](Copy& c) {
        EXPECT_EQ(cadhost::xref::bindXref(*c.xrefs, "C", cadhost::xref::BindKind::Insert),
                  Acad::eOk);
        EXPECT_EQ(cadhost::xref::bindXref(*c.xrefs, "A", cadhost::xref::BindKind::Insert),
                  Acad::eOk);
        EXPECT_EQ(cadhost::xref::bindXref(*c.xrefs, "F3", cadhost::xref::BindKind::Prefixed),
                  Acad::eOk);
        EXPECT_EQ(xreftest::statusOf(c.db, "DEEP"), AcDb::kXrfNotAnXref);
    });
}

TEST(XrefAbort, NewLayersCurrentLayerAndHeaderVariables) {
    Site site;
    Copy copy(site, "fast.dxf");
    expectAbortUndoes(copy, [](Copy& c) {
        AcDbLayerTable* layers = nullptr;
        ASSERT_EQ(c.db.getLayerTable(layers, AcDb::kForWrite), Acad::eOk);
        auto* layer = new AcDbLayerTableRecord;
        layer->setName("0_N1");
        AcDbObjectId id;
        ASSERT_EQ(layers->add(id, layer), Acad::eOk);
        layer->close();
        layers->close();
        EXPECT_EQ(c.db.setClayer(id), Acad::eOk);
        EXPECT_EQ(c.db.setVisretain(!c.db.visretain()), Acad::eOk);
        // A variable the drawing did not have goes again.
        EXPECT_EQ(c.db.setProjectName("SITE"), Acad::eOk);
    });
    EXPECT_TRUE(dbtest::layerId(copy.db, "0_N1").isNull());
}

// An abort in the middle of a session: the states follow the drawing again, so that the next
// operations need no full update and give what full updates give.
TEST(XrefAbort, OperationsAfterAnAbortStepAsBefore) {
    Site site;
    Copy copy(site, "fast.dxf");
    Copy full(site, "full.dxf");
    expectAbortUndoes(copy, [](Copy& c) {
        EXPECT_EQ(cadhost::xref::detachXref(*c.xrefs, "F1"), Acad::eOk);
        setPath(c, "F2", "f3.dxf");
    });
    const int updates = copy.xrefs->updates();
    for (Copy* c : {&copy, &full}) {
        EXPECT_EQ(cadhost::xref::detachXref(*c->xrefs, "F4"), Acad::eOk);
        EXPECT_EQ(cadhost::xref::bindXref(*c->xrefs, "C", cadhost::xref::BindKind::Insert),
                  Acad::eOk);
    }
    EXPECT_EQ(copy.xrefs->updates(), updates);
    full.xrefs->update();
    EXPECT_EQ(copy.state(), full.state());
    EXPECT_EQ(copy.saved(), full.saved());
}

// Inner transactions that ended go with the outer one's abort; one that aborted on its own
// leaves what the outer one did before it.
TEST(XrefAbort, NestedTransactionsEndedOrAborted) {
    Site site;
    Copy copy(site, "fast.dxf");
    Copy full(site, "full.dxf");
    AcDbTransactionManager& transactions = *copy.db.transactionManager();
    const Snapshot before(copy);
    transactions.startTransaction();
    EXPECT_EQ(cadhost::xref::detachXref(*copy.xrefs, "F1"), Acad::eOk);
    transactions.startTransaction();
    EXPECT_EQ(cadhost::xref::detachXref(*copy.xrefs, "A"), Acad::eOk);
    ASSERT_EQ(transactions.abortTransaction(), Acad::eOk);
    EXPECT_EQ(cadhost::xref::detachXref(*full.xrefs, "F1"), Acad::eOk);
    EXPECT_EQ(copy.state(), full.state());
    EXPECT_EQ(copy.saved(), full.saved());
    transactions.startTransaction();
    EXPECT_EQ(cadhost::xref::bindXref(*copy.xrefs, "C", cadhost::xref::BindKind::Insert),
              Acad::eOk);
    ASSERT_EQ(transactions.endTransaction(), Acad::eOk);
    ASSERT_EQ(transactions.abortTransaction(), Acad::eOk);
    expectSame(before, copy);
}

// Ending the transaction keeps the operations, as they are without one.
TEST(XrefAbort, EndKeepsWhatWasDone) {
    Site site;
    Copy copy(site, "fast.dxf");
    Copy alone(site, "full.dxf");
    copy.db.transactionManager()->startTransaction();
    for (Copy* c : {&copy, &alone}) {
        EXPECT_EQ(cadhost::xref::detachXref(*c->xrefs, "A"), Acad::eOk);
        EXPECT_EQ(attach(*c, "n1.dxf", "N1", false), Acad::eOk);
        EXPECT_EQ(c->db.setVisretain(!c->db.visretain()), Acad::eOk);
    }
    ASSERT_EQ(copy.db.transactionManager()->endTransaction(), Acad::eOk);
    EXPECT_EQ(copy.state(), alone.state());
    EXPECT_EQ(copy.saved(), alone.saved());
}

}  // namespace
