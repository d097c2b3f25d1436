// Binding xrefs as blocks, with the xref's symbols merged (insert) or kept apart under prefixed
// names: the bound drawing read back by ezdxf and compared with the xref's own file, reopened
// without that file, and refusals that leave the file as it was.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cadhost/sdk/acedxref.h"
#include "cadhost/sdk/dbapserv.h"
#include "cadhost/sdk/dbents.h"
#include "cadhost/xref/drawing_scan.h"
#include "db_test_support.h"
#include "dxf_test_support.h"
#include "xref_test_support.h"

namespace {

using testing::AllOf;
using testing::HasSubstr;
using testing::Not;
using xreftest::OpenDrawing;
using xreftest::statusOf;
using xreftest::XrefFixtures;

// A fixture drawing as the current drawing.
struct Current {
    explicit Current(const std::string& drawing)
        : open(std::make_unique<OpenDrawing>(fixtures, drawing)) {
        acdbHostApplicationServices()->setWorkingDatabase(&db());
    }
    ~Current() { acdbHostApplicationServices()->setWorkingDatabase(nullptr); }

    std::string saved(const std::string& name) {
        const auto path = fixtures.folder / name;
        EXPECT_EQ(db().saveAs(path.c_str()), Acad::eOk);
        return dxftest::readBytes(path);
    }
    // xref_bind_check.py's report on the saved drawing's block and the xref's file; `renamed`
    // holds "NAME=BOUND_NAME" for the xref's layers and blocks the drawing names otherwise.
    std::string compared(const std::string& saved, const std::string& block,
                         const std::string& xref, const std::vector<std::string>& renamed = {}) {
        std::vector<std::string> arguments{(fixtures.folder / saved).string(), block,
                                           (fixtures.folder / xref).string()};
        arguments.insert(arguments.end(), renamed.begin(), renamed.end());
        int status = 0;
        std::string report = dxftest::runPython("xref_bind_check.py", arguments, status);
        EXPECT_EQ(status, 0) << report;
        return report;
    }
    // Saves the drawing and opens the file as the current drawing: saving it unchanged then
    // writes the same bytes again. Returns the bytes.
    std::string reopened(const std::string& name) {
        saved(name);
        open = std::make_unique<OpenDrawing>(fixtures, name);
        acdbHostApplicationServices()->setWorkingDatabase(&db());
        return resaved();
    }
    // The same with the xref's file gone: a bound drawing no longer needs it.
    void reopenedWithout(const std::string& name, const std::string& xrefFile) {
        std::filesystem::remove(fixtures.folder / xrefFile);
        reopened(name);
        EXPECT_THAT(open->messages, testing::IsEmpty());
    }
    std::string resaved() {
        EXPECT_EQ(db().save(), Acad::eOk);
        const char* path = nullptr;
        db().getFilename(path);
        return dxftest::readBytes(path);
    }
    AcDbDatabase& db() { return *open->db; }

    XrefFixtures fixtures;
    std::unique_ptr<OpenDrawing> open;
};

bool isXref(AcDbDatabase& db, const char* name) {
    AcDbBlockTableRecord* block = nullptr;
    if (acdbOpenObject(block, dbtest::blockId(db, name), AcDb::kForRead) != Acad::eOk) {
        return false;
    }
    const bool xref = block->isFromExternalReference();
    block->close();
    return xref;
}

TEST(XrefBind, TheBlockHoldsTheXrefDrawingWithItsLayersMergedAndTheFileIsNoLongerNeeded) {
    Current c("bind/host.dxf");
    ASSERT_EQ(statusOf(c.db(), "PARTS"), AcDb::kXrfResolved);
    ASSERT_EQ(acedXrefBind("PARTS", true), Acad::eOk);
    EXPECT_FALSE(isXref(c.db(), "PARTS"));
    EXPECT_EQ(statusOf(c.db(), "PARTS"), AcDb::kXrfNotAnXref);
    // The references stay and now show the block.
    EXPECT_EQ(cadhost::xref::referencesTo(c.db(), dbtest::blockId(c.db(), "PARTS")).size(), 2u);

    const std::string bytes = c.saved("bind/bound.dxf");
    EXPECT_THAT(bytes, Not(HasSubstr("parts.dxf")));
    EXPECT_THAT(
        c.compared("bind/bound.dxf", "PARTS", "bind/parts.dxf"),
        AllOf(HasSubstr("\"audit_errors\": []"), HasSubstr("\"differences\": []"),
              HasSubstr("\"entities\": 6"), HasSubstr("\"xrefs\": []"),
              // SHARED stays the drawing's (colour 1); PARTS|OWN became OWN.
              HasSubstr("\"SHARED\": 1"), HasSubstr("\"OWN\": 3"), Not(HasSubstr("PARTS|"))));

    c.reopenedWithout("bind/bound.dxf", "bind/parts.dxf");
    EXPECT_EQ(statusOf(c.db(), "PARTS"), AcDb::kXrfNotAnXref);
    EXPECT_EQ(statusOf(c.db(), "BOLT"), AcDb::kXrfNotAnXref);
}

TEST(XrefBind, APrefixedBindKeepsTheXrefsLayersAndBlocksApartUnderPrefixedNames) {
    Current c("bind/host.dxf");
    const AcDbObjectId dependent = dbtest::layerId(c.db(), "PARTS|OWN");
    ASSERT_EQ(acedXrefBind("PARTS", false), Acad::eOk);
    EXPECT_FALSE(isXref(c.db(), "PARTS"));
    // The layer PARTS brought in is the same record under its new name.
    EXPECT_EQ(dbtest::layerId(c.db(), "PARTS$0$OWN"), dependent);
    EXPECT_TRUE(dbtest::layerId(c.db(), "OWN").isNull());
    EXPECT_TRUE(dbtest::blockId(c.db(), "BOLT").isNull());

    c.saved("bind/bound.dxf");
    EXPECT_THAT(c.compared("bind/bound.dxf", "PARTS", "bind/parts.dxf",
                           {"OWN=PARTS$0$OWN", "SHARED=PARTS$0$SHARED", "BOLT=PARTS$0$BOLT"}),
                AllOf(HasSubstr("\"audit_errors\": []"), HasSubstr("\"differences\": []"),
                      HasSubstr("\"entities\": 6"), HasSubstr("\"xrefs\": []"),
                      // The drawing's SHARED (colour 1) and the xref's (5) both stay.
                      HasSubstr("\"SHARED\": 1"), HasSubstr("\"PARTS$0$SHARED\": 5"),
                      HasSubstr("\"PARTS$0$OWN\": 3"), Not(HasSubstr("PARTS|"))));

    c.reopenedWithout("bind/bound.dxf", "bind/parts.dxf");
    EXPECT_EQ(statusOf(c.db(), "PARTS"), AcDb::kXrfNotAnXref);
    EXPECT_EQ(statusOf(c.db(), "PARTS$0$BOLT"), AcDb::kXrfNotAnXref);
}

TEST(XrefBind, TakenPrefixedNamesRaiseTheNumberAndTheDrawingsOwnSymbolsStayAsTheyAre) {
    Current c("bind/taken.dxf");
    ASSERT_EQ(acedXrefBind("PARTS", false), Acad::eOk);
    c.saved("bind/bound.dxf");
    EXPECT_THAT(c.compared("bind/bound.dxf", "PARTS", "bind/parts.dxf",
                           {"OWN=PARTS$1$OWN", "SHARED=PARTS$0$SHARED", "BOLT=PARTS$1$BOLT"}),
                AllOf(HasSubstr("\"audit_errors\": []"), HasSubstr("\"differences\": []"),
                      HasSubstr("\"PARTS$0$OWN\": 6"), HasSubstr("\"PARTS$1$OWN\": 3"),
                      HasSubstr("\"PARTS$0$UNUSED\": 4"), Not(HasSubstr("PARTS|")),
                      // The drawing's circle on the layer PARTS brought in follows its new name.
                      HasSubstr("\"model_space\": [\"CIRCLE PARTS$1$OWN\", \"CIRCLE SHARED\", "
                                "\"INSERT 0\", \"INSERT 0\"]")));
    for (const char* own : {"BOLT", "PARTS$0$BOLT"}) {
        EXPECT_FALSE(dbtest::entityOfType(c.db(), own, "POINT").isNull()) << own;
        EXPECT_TRUE(dbtest::entityOfType(c.db(), own, "CIRCLE").isNull()) << own;
    }
}

TEST(XrefBind, AnInsertBindMovesTheDrawingsEntitiesOnTheXrefsLayerToItsNewName) {
    Current c("bind/taken.dxf");
    ASSERT_EQ(acedXrefBind("PARTS", true), Acad::eOk);
    c.saved("bind/bound.dxf");
    EXPECT_THAT(c.compared("bind/bound.dxf", "PARTS", "bind/parts.dxf"),
                AllOf(HasSubstr("\"audit_errors\": []"), HasSubstr("\"OWN\": 3"),
                      HasSubstr("\"model_space\": [\"CIRCLE OWN\", \"CIRCLE SHARED\", "),
                      Not(HasSubstr("PARTS|"))));
}

// Binds PLAN, which takes FLOOR and ROOM nested in it along, and saves the drawing.
void bindPlan(Current& c, bool insert) {
    ASSERT_EQ(acedXrefBind("PLAN", insert), Acad::eOk);
    for (const char* bound : {"PLAN", "FLOOR", "ROOM"}) {
        EXPECT_FALSE(isXref(c.db(), bound)) << bound;
        EXPECT_FALSE(dbtest::entityOfType(c.db(), bound, "LINE").isNull()) << bound;
    }
    EXPECT_EQ(statusOf(c.db(), "TREES"), AcDb::kXrfResolved);  // other xrefs stay
    c.saved("bound.dxf");
}

TEST(XrefBind, NestedXrefsAreBoundWithTheXrefAndItsOverlaysLeftOut) {
    Current c("host.dxf");
    bindPlan(c, true);
    EXPECT_THAT(c.compared("bound.dxf", "FLOOR", "sub/floor.dxf"),
                AllOf(HasSubstr("\"audit_errors\": []"), HasSubstr("\"differences\": []")));
    // PLAN's overlay SITE is left out: its line and its reference to FLOOR are all there is.
    EXPECT_THAT(c.compared("bound.dxf", "PLAN", "sub/plan.dxf"),
                AllOf(HasSubstr("\"differences\": [\"PLAN: 2 entities, the xref has 3\"]"),
                      HasSubstr("\"PLAN_WALLS\": 2"), Not(HasSubstr("PLAN|WALLS"))));

    for (const char* file : {"sub/plan.dxf", "sub/floor.dxf", "sub/rooms/room.dxf"}) {
        std::filesystem::remove(c.fixtures.folder / file);
    }
    c.reopened("bound.dxf");
    for (const char* bound : {"PLAN", "FLOOR", "ROOM"}) {
        EXPECT_EQ(statusOf(c.db(), bound), AcDb::kXrfNotAnXref) << bound;
    }
}

TEST(XrefBind, NestedXrefsOfAPrefixedBindNameTheirLayersAfterThemselves) {
    Current c("host.dxf");
    bindPlan(c, false);
    EXPECT_THAT(c.compared("bound.dxf", "FLOOR", "sub/floor.dxf", {"TILES=FLOOR$0$TILES"}),
                AllOf(HasSubstr("\"audit_errors\": []"), HasSubstr("\"differences\": []"),
                      HasSubstr("\"FLOOR$0$TILES\": 2"), Not(HasSubstr("\"TILES\""))));
    // PLAN|WALLS, which nothing uses, is renamed too.
    EXPECT_THAT(c.compared("bound.dxf", "PLAN", "sub/plan.dxf", {"PLAN_WALLS=PLAN$0$PLAN_WALLS"}),
                AllOf(HasSubstr("\"differences\": [\"PLAN: 2 entities, the xref has 3\"]"),
                      HasSubstr("\"PLAN$0$PLAN_WALLS\": 2"), HasSubstr("\"PLAN$0$WALLS\": 1"),
                      Not(HasSubstr("PLAN|")), Not(HasSubstr("\"PLAN_WALLS\""))));
}

TEST(XrefBind, RefusedBindsOfEitherKindLeaveTheSavedFileAsItWas) {
    Current c("host.dxf");
    ASSERT_EQ(acedXrefUnload("TREES"), Acad::eOk);
    const std::string before = c.reopened("before.dxf");
    for (bool insert : {true, false}) {
        SCOPED_TRACE(insert ? "insert bind" : "prefixed bind");
        EXPECT_EQ(acedXrefBind("FLOOR", insert), Acad::eNotApplicable);   // nested in PLAN
        EXPECT_EQ(acedXrefBind("TREES", insert), Acad::eNotApplicable);   // unloaded
        EXPECT_EQ(acedXrefBind("NOTDXF", insert), Acad::eNotApplicable);  // unresolved
        EXPECT_EQ(acedXrefBind("GONE", insert), Acad::eNotApplicable);    // file not found
        EXPECT_EQ(acedXrefBind("CYCLE1", insert), Acad::eInvalidInput);   // would hold itself
        EXPECT_EQ(acedXrefBind("NOSUCH", insert), Acad::eKeyNotFound);
        EXPECT_EQ(acedXrefBind("*Model_Space", insert), Acad::eNotApplicable);
    }
    EXPECT_TRUE(c.resaved() == before);
    EXPECT_TRUE(isXref(c.db(), "PLAN"));
    EXPECT_EQ(statusOf(c.db(), "FLOOR"), AcDb::kXrfResolved);
}

TEST(XrefBind, APrefixedNameLongerThanARecordTakesIsRefused) {
    Current c("bind/host.dxf");
    const std::string name(250, 'P');
    ASSERT_EQ(acedXrefAttach(c.fixtures.hostPath("bind\\parts.dxf").c_str(), name.c_str()),
              Acad::eOk);
    const std::string before = c.reopened("bind/before.dxf");
    // "PPP...$0$SHARED" would be 259 characters long.
    EXPECT_EQ(acedXrefBind(name.c_str(), false), Acad::eInvalidInput);
    EXPECT_TRUE(c.resaved() == before);
    EXPECT_EQ(acedXrefBind(name.c_str(), true), Acad::eOk);
}

// The file from its TABLES section on: what is left when the header's save stamps are not.
std::string afterHeader(const std::string& bytes) {
    return bytes.substr(bytes.find("\nTABLES\n"));
}

TEST(XrefBind, AFailureAfterTheCopyUndoesAllOfItForEitherKind) {
    for (bool insert : {true, false}) {
        SCOPED_TRACE(insert ? "insert bind" : "prefixed bind");
        Current c("bind/blocked.dxf");
        const std::string before = c.reopened("bind/before.dxf");
        // PARTS|STUB goes with PARTS, but the drawing inserts it: the erase is refused after
        // the layers were renamed, the drawing's circle moved and the copies placed.
        EXPECT_EQ(acedXrefBind("PARTS", insert), Acad::eObjectIsReferenced);
        EXPECT_TRUE(isXref(c.db(), "PARTS"));
        EXPECT_TRUE(dbtest::entityOfType(c.db(), "PARTS", "LINE").isNull());
        for (const char* layer : {"OWN", "PARTS$0$OWN", "PARTS$0$SHARED"}) {
            EXPECT_TRUE(dbtest::layerId(c.db(), layer).isNull()) << layer;
        }
        EXPECT_TRUE(dbtest::blockId(c.db(), "PARTS$0$BOLT").isNull());
        EXPECT_FALSE(dbtest::layerId(c.db(), "PARTS|OWN").isNull());
        EXPECT_EQ(statusOf(c.db(), "PARTS"), AcDb::kXrfResolved);
        // An aborted change still counts as one when saving: the header's save time and
        // handle seed move on, every record is as it was.
        EXPECT_TRUE(afterHeader(c.resaved()) == afterHeader(before));
    }
}

TEST(XrefBind, R12DrawingsTakeXrefsAndBindThemAndReleasesThatDoNotMixAreRefused) {
    Current c("bind/r12_host.dxf");
    AcDbObjectId block;
    AcDbObjectId reference;
    // The host's name for model space finds the R12 drawing's "$Model_Space".
    ASSERT_EQ(acedXrefAttach("r12_parts.dxf", "PARTS", &block, &reference), Acad::eOk);
    EXPECT_EQ(statusOf(c.db(), "PARTS"), AcDb::kXrfResolved);
    AcDbBlockReference* insert = nullptr;
    ASSERT_EQ(acdbOpenObject(insert, reference, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(insert->blockId(), dbtest::blockId(c.db(), "$Model_Space"));
    insert->close();
    // An xref of entities only has no model space block to copy from.
    ASSERT_EQ(acedXrefAttach("entities_only.dxf", "LOOSE", nullptr, nullptr), Acad::eOk);
    const std::string before = c.reopened("bind/r12_attached.dxf");
    for (bool insertBind : {true, false}) {
        EXPECT_EQ(acedXrefBind("LOOSE", insertBind), Acad::eNullObjectId);
    }
    EXPECT_TRUE(c.resaved() == before);

    ASSERT_EQ(acedXrefBind("PARTS", false), Acad::eOk);
    c.saved("bind/r12_bound.dxf");
    EXPECT_THAT(c.compared("bind/r12_bound.dxf", "PARTS", "bind/r12_parts.dxf",
                           {"OWN=PARTS$0$OWN", "SHARED=PARTS$0$SHARED"}),
                AllOf(HasSubstr("\"audit_errors\": []"), HasSubstr("\"differences\": []"),
                      HasSubstr("\"entities\": 3"), HasSubstr("\"SHARED\": 1"),
                      HasSubstr("\"PARTS$0$SHARED\": 5"), HasSubstr("\"PARTS$0$OWN\": 3")));

    // An R12 xref in a later release's drawing attaches and shows, but cannot be bound.
    Current later("bind/host.dxf");
    ASSERT_EQ(acedXrefAttach("r12_parts.dxf", "OLD", nullptr, nullptr), Acad::eOk);
    EXPECT_EQ(statusOf(later.db(), "OLD"), AcDb::kXrfResolved);
    const std::string attached = later.reopened("bind/later_attached.dxf");
    EXPECT_EQ(acedXrefBind("OLD", true), Acad::eIncompatibleRelease);
    EXPECT_TRUE(later.resaved() == attached);
}

TEST(XrefBind, NothingIsAttachedToADrawingOfEntitiesOnly) {
    Current c("bind/entities_only.dxf");
    const std::string before = c.resaved();
    EXPECT_EQ(acedXrefAttach("r12_parts.dxf", "PARTS", nullptr, nullptr), Acad::eNullObjectId);
    EXPECT_TRUE(dbtest::blockId(c.db(), "PARTS").isNull());
    EXPECT_TRUE(c.resaved() == before);
}

}  // namespace
