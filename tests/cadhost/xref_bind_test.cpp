// Binding xrefs as blocks: the bound drawing read back by ezdxf and compared with the xref's
// own file, reopened without that file, and refusals that leave the file as it was.

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
    // xref_bind_check.py's report on the saved drawing's block and the xref's file.
    std::string compared(const std::string& saved, const std::string& block,
                         const std::string& xref) {
        int status = 0;
        std::string report = dxftest::runPython(
            "xref_bind_check.py",
            {(fixtures.folder / saved).string(), block, (fixtures.folder / xref).string()}, status);
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

    std::filesystem::remove(c.fixtures.folder / "bind" / "parts.dxf");
    c.reopened("bind/bound.dxf");
    EXPECT_THAT(c.open->messages, testing::IsEmpty());
    EXPECT_EQ(statusOf(c.db(), "PARTS"), AcDb::kXrfNotAnXref);
    EXPECT_EQ(statusOf(c.db(), "BOLT"), AcDb::kXrfNotAnXref);
}

TEST(XrefBind, NestedXrefsAreBoundWithTheXrefAndItsOverlaysLeftOut) {
    Current c("host.dxf");
    ASSERT_EQ(acedXrefBind("PLAN", true), Acad::eOk);
    for (const char* bound : {"PLAN", "FLOOR", "ROOM"}) {
        EXPECT_FALSE(isXref(c.db(), bound)) << bound;
        EXPECT_FALSE(dbtest::entityOfType(c.db(), bound, "LINE").isNull()) << bound;
    }
    EXPECT_EQ(statusOf(c.db(), "TREES"), AcDb::kXrfResolved);  // other xrefs stay
    c.saved("bound.dxf");
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

TEST(XrefBind, RefusedBindsLeaveTheSavedFileAsItWas) {
    Current c("host.dxf");
    ASSERT_EQ(acedXrefUnload("TREES"), Acad::eOk);
    const std::string before = c.reopened("before.dxf");
    EXPECT_EQ(acedXrefBind("FLOOR", true), Acad::eNotApplicable);   // nested in PLAN
    EXPECT_EQ(acedXrefBind("TREES", true), Acad::eNotApplicable);   // unloaded
    EXPECT_EQ(acedXrefBind("NOTDXF", true), Acad::eNotApplicable);  // unresolved
    EXPECT_EQ(acedXrefBind("GONE", true), Acad::eNotApplicable);    // file not found
    EXPECT_EQ(acedXrefBind("CYCLE1", true), Acad::eInvalidInput);   // would hold itself
    EXPECT_EQ(acedXrefBind("NOSUCH", true), Acad::eKeyNotFound);
    EXPECT_EQ(acedXrefBind("*Model_Space", true), Acad::eNotApplicable);
    EXPECT_EQ(acedXrefBind("PLAN", false), Acad::eNotImplementedYet);
    EXPECT_TRUE(c.resaved() == before);
    EXPECT_TRUE(isXref(c.db(), "PLAN"));
    EXPECT_EQ(statusOf(c.db(), "FLOOR"), AcDb::kXrfResolved);
}

// The file from its TABLES section on: what is left when the header's save stamps are not.
std::string afterHeader(const std::string& bytes) {
    return bytes.substr(bytes.find("\nTABLES\n"));
}

TEST(XrefBind, AFailureAfterTheCopyUndoesAllOfIt) {
    Current c("bind/blocked.dxf");
    const std::string before = c.reopened("bind/before.dxf");
    // PARTS|STUB goes with PARTS, but the drawing inserts it: the erase is refused.
    EXPECT_EQ(acedXrefBind("PARTS", true), Acad::eObjectIsReferenced);
    EXPECT_TRUE(isXref(c.db(), "PARTS"));
    EXPECT_TRUE(dbtest::entityOfType(c.db(), "PARTS", "LINE").isNull());
    EXPECT_TRUE(dbtest::layerId(c.db(), "OWN").isNull());
    EXPECT_FALSE(dbtest::layerId(c.db(), "PARTS|OWN").isNull());
    EXPECT_EQ(statusOf(c.db(), "PARTS"), AcDb::kXrfResolved);
    // An aborted change still counts as one when saving: the header's save time and handle
    // seed move on, every record is as it was.
    EXPECT_TRUE(afterHeader(c.resaved()) == afterHeader(before));
}

}  // namespace
