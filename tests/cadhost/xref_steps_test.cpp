// Operations on single xrefs bring the xref states up to date without finding and loading every
// xref again. Each test runs the same operations on two copies of one drawing: on the first as
// they are, on the second each followed by a full update (how every operation used to end).
// After every operation both show the same statuses, found files, loaded drawings and graph,
// and save the same bytes. Every test runs twice: on drawings alone, and inside a transaction
// of each drawing held open throughout, as the xref dialog holds one.

#include <gtest/gtest.h>

#include <functional>

#include "cadhost/xref/drawing_scan.h"
#include "cadhost/xref/xref_operations.h"
#include "db_test_support.h"
#include "platform/splitpath.h"
#include "xref_site.h"
#include "xref_test_support.h"

namespace {

using cadhost::xref::DrawingXrefs;
using xreftest::Copy;
using xreftest::Site;

struct Twins {
    explicit Twins(bool inTransaction) : inTransaction_(inTransaction) {
        if (inTransaction_) {
            fast.db.transactionManager()->startTransaction();
            full.db.transactionManager()->startTransaction();
        }
    }
    ~Twins() {
        if (inTransaction_) {
            EXPECT_EQ(fast.db.transactionManager()->endTransaction(), Acad::eOk);
            EXPECT_EQ(full.db.transactionManager()->endTransaction(), Acad::eOk);
        }
    }
    Twins(const Twins&) = delete;
    Twins& operator=(const Twins&) = delete;

    bool inTransaction_;
    Site site;
    Copy fast{site, "fast.dxf"};
    Copy full{site, "full.dxf"};

    // Runs the operation on both copies, a full update after it on the second unless it does
    // not go through the xref engine; expects the same result from both, and the same state
    // after.
    Acad::ErrorStatus run(const std::function<Acad::ErrorStatus(Copy&)>& operation,
                          bool engine = true) {
        const Acad::ErrorStatus es = operation(fast);
        EXPECT_EQ(operation(full), es);
        if (engine) {
            full.xrefs->update();
        }
        EXPECT_EQ(fast.state(), full.state());
        EXPECT_EQ(fast.saved(), full.saved());
        EXPECT_EQ(fast.messages, full.messages);
        return es;
    }
    // Runs the operation, expecting `es` and the number of full updates it ran on the fast copy.
    void expect(Acad::ErrorStatus es, int updates,
                const std::function<Acad::ErrorStatus(Copy&)>& operation) {
        const int before = fast.xrefs->updates();
        EXPECT_EQ(run(operation), es);
        EXPECT_EQ(fast.xrefs->updates() - before, updates);
    }
    std::string found(const char* name) {
        return fast.xrefs->foundPath(dbtest::blockId(fast.db, name));
    }
};

auto detach(const char* name) {
    return [name](Copy& c) { return cadhost::xref::detachXref(*c.xrefs, name); };
}

auto bind(const char* name) {
    return [name](Copy& c) {
        return cadhost::xref::bindXref(*c.xrefs, name, cadhost::xref::BindKind::Insert);
    };
}

auto attach(std::string path, const char* name) {
    return [path, name](Copy& c) {
        cadhost::xref::AttachRequest request;
        request.path = path;
        request.name = name;
        request.space = dbtest::blockId(c.db, "*Model_Space");
        AcDbObjectId block;
        AcDbObjectId reference;
        Acad::ErrorStatus es = cadhost::xref::attachXref(*c.xrefs, request, block, reference);
        if (es == Acad::eOk) {
            // As the dialog does: the new block, read back at once.
            AcDbBlockTableRecord* record = nullptr;
            EXPECT_EQ(acdbOpenObject(record, block, AcDb::kForRead), Acad::eOk);
            EXPECT_EQ(record->xrefStatus(), AcDb::kXrfResolved);
            record->close();
        }
        return es;
    };
}

// The xrefs the drawing references itself, or all of them.
std::vector<AcDbObjectId> xrefsOf(AcDbDatabase& db, bool referencedOnly) {
    std::vector<AcDbObjectId> ids;
    for (const auto& record : cadhost::xref::scanXrefs(db)) {
        if (record.inserted || !referencedOnly) {
            ids.push_back(record.id);
        }
    }
    return ids;
}

class XrefSteps : public testing::TestWithParam<bool> {};

TEST_P(XrefSteps, DetachesOfXrefsWithoutSharedNestedOnesUpdateOnlyThoseAndTheRestAsAFullUpdate) {
    Twins t(GetParam());
    ASSERT_EQ(t.fast.state(), t.full.state());
    EXPECT_NE(t.found("SHARED").find("\\shared.dxf"), std::string::npos);
    EXPECT_EQ(t.found("SHARED").find("b2"), std::string::npos);

    // Plain, missing, unloadable and unreferenced-sibling xrefs, and one whose nested xrefs
    // only it inserts: no full update.
    for (const char* name : {"F1", "GONE", "BAD", "C"}) {
        SCOPED_TRACE(name);
        t.expect(Acad::eOk, 0, detach(name));
    }
    EXPECT_TRUE(dbtest::blockId(t.fast.db, "DEEPER").isNull());
    // Refused: nested, unknown, not an xref; nothing changes.
    t.expect(Acad::eNotApplicable, 0, detach("SHARED"));
    t.expect(Acad::eKeyNotFound, 0, detach("NOSUCH"));
    t.expect(Acad::eNotApplicable, 0, detach("*Model_Space"));

    // A reached SHARED first; B keeps it, and finds its own shared.dxf beside b.dxf.
    t.expect(Acad::eOk, 1, detach("A"));
    EXPECT_NE(t.found("SHARED").find("b2\\shared.dxf"), std::string::npos);
    EXPECT_TRUE(dbtest::blockId(t.fast.db, "ONLYA").isNull());
    // S inserts R: detaching R brings it back as S's nested xref.
    t.expect(Acad::eOk, 1, detach("R"));
    EXPECT_EQ(xreftest::statusOf(t.fast.db, "R"), AcDb::kXrfResolved);
    // Detaching B now takes SHARED along, without a full update.
    t.expect(Acad::eOk, 0, detach("B"));
    EXPECT_TRUE(dbtest::blockId(t.fast.db, "SHARED").isNull());
}

TEST_P(XrefSteps, AttachesLoadOnlyTheNewXrefUnlessItsFileInsertsXrefsAndRefusalsChangeNothing) {
    Twins t(GetParam());
    const std::string folder = t.site.hostFolder + "\\";
    t.expect(Acad::eOk, 0, attach(folder + "n1.dxf", "N1"));
    t.expect(Acad::eOk, 0, attach("f2.dxf", "F2AGAIN"));  // a file loaded already
    EXPECT_EQ(xreftest::loadedOf(t.fast.db, "F2AGAIN"), xreftest::loadedOf(t.fast.db, "F2"));
    // n2.dxf inserts ONLYA, which A inserts too: found and loaded in a full update's order.
    t.expect(Acad::eOk, 1, attach("n2.dxf", "N2"));
    t.expect(Acad::eDuplicateRecordName, 0, attach("n1.dxf", "N1"));
    t.expect(Acad::eFileNotFound, 0, attach("nowhere.dxf", "NOWHERE"));
    t.expect(Acad::eFileAccessErr, 0, attach("bad.dxf", "BAD2"));
    t.expect(Acad::eOk, 0, detach("N1"));
}

TEST_P(XrefSteps, ReloadingAllThenStrippingPathsIsSeenByTheNextOperation) {
    Twins t(GetParam());
    t.expect(Acad::eOk, 1,
             [](Copy& c) { return cadhost::xref::reloadXrefs(*c.xrefs, xrefsOf(c.db, true)); });
    // Each path loses its folder, without a reload: B's b.dxf is no longer found from there.
    t.run(
        [](Copy& c) {
            for (AcDbObjectId id : xrefsOf(c.db, false)) {
                AcDbBlockTableRecord* block = nullptr;
                EXPECT_EQ(acdbOpenObject(block, id, AcDb::kForWrite), Acad::eOk);
                const char* path = nullptr;
                block->pathName(path);
                const platform::PathSplit split = platform::splitPath(path);
                EXPECT_EQ(block->setPathName((split.fname + split.ext).c_str()), Acad::eOk);
                block->close();
            }
            return Acad::eOk;
        },
        false);
    EXPECT_EQ(xreftest::statusOf(t.fast.db, "B"), AcDb::kXrfResolved);  // not looked for yet
    // The drawing changed since the last update: the detach runs a full one.
    t.expect(Acad::eOk, 1, detach("F4"));
    EXPECT_EQ(xreftest::statusOf(t.fast.db, "B"), AcDb::kXrfFileNotFound);
    t.expect(Acad::eOk, 0, detach("F3"));
    // Unloading runs a full update, and the unloaded xref then detaches on its own.
    t.expect(Acad::eOk, 1, [](Copy& c) {
        return cadhost::xref::unloadXrefs(*c.xrefs, {dbtest::blockId(c.db, "C")});
    });
    t.expect(Acad::eOk, 0, detach("C"));
}

TEST_P(XrefSteps, BindsOfXrefsWhoseNestedXrefsNoOtherInsertsUpdateOnlyThose) {
    Twins t(GetParam());
    t.expect(Acad::eOk, 0, bind("F3"));
    t.expect(Acad::eOk, 0, bind("C"));  // with DEEP and DEEPER
    EXPECT_EQ(xreftest::statusOf(t.fast.db, "DEEP"), AcDb::kXrfNotAnXref);
    t.expect(Acad::eNotApplicable, 0, bind("GONE"));
    t.expect(Acad::eNotApplicable, 0, bind("SHARED"));
    // SHARED is bound with A while B still inserts it: B's SHARED is then refused by name.
    t.expect(Acad::eOk, 1, bind("A"));
    EXPECT_EQ(xreftest::statusOf(t.fast.db, "SHARED"), AcDb::kXrfNotAnXref);
    // That refusal is reported again by every update, so later operations run full ones.
    t.expect(Acad::eOk, 1, bind("F4"));
}

INSTANTIATE_TEST_SUITE_P(, XrefSteps, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& param) {
                             return param.param ? "InOpenTransaction" : "Alone";
                         });

}  // namespace
