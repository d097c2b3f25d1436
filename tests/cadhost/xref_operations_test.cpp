// Attach, overlay, detach, unload and reload on the current drawing, read back from the
// saved file by ezdxf; refused operations leave the saved file byte for byte as it was.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cadhost/app/host_registration.h"
#include "cadhost/app/registry_key.h"
#include "cadhost/sdk/acedxref.h"
#include "cadhost/sdk/dbapserv.h"
#include "cadhost/sdk/dbents.h"
#include "cadhost/sdk/dbxrefgraph.h"
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

// The fixture drawing host.dxf as the current drawing.
struct Current {
    XrefFixtures fixtures;
    OpenDrawing host{fixtures, "host.dxf"};
    AcDbDatabase& db = *host.db;
    Current() { acdbHostApplicationServices()->setWorkingDatabase(&db); }
    ~Current() { acdbHostApplicationServices()->setWorkingDatabase(nullptr); }

    std::string saved(const std::string& name) {
        const auto path = fixtures.folder / name;
        EXPECT_EQ(db.saveAs(path.c_str()), Acad::eOk);
        return dxftest::readBytes(path);
    }
    std::string ezdxf(const std::string& name) {
        saved(name);
        return xreftest::ezdxfSummary(fixtures.folder / name);
    }
};

TEST(XrefOperations, AttachAndOverlayAddABlockAndOneReferenceInTheCurrentSpace) {
    Current c;
    AcDbObjectId block;
    AcDbObjectId reference;
    ASSERT_EQ(acedXrefAttach("abs\\abs.dwg", "NEWONE", &block, &reference), Acad::eOk);
    EXPECT_EQ(block, dbtest::blockId(c.db, "NEWONE"));
    EXPECT_EQ(statusOf(c.db, "NEWONE"), AcDb::kXrfResolved);
    AcDbBlockReference* insert = nullptr;
    ASSERT_EQ(acdbOpenObject(insert, reference, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(insert->blockTableRecord(), block);
    EXPECT_EQ(insert->position(), AcGePoint3d::kOrigin);
    EXPECT_EQ(insert->blockId(), dbtest::blockId(c.db, "*Model_Space"));
    insert->close();

    AcDbObjectId overlay;
    const AcGePoint3d at(5, 6, 0);
    const AcGeScale3d twice{2, 2, 2};
    const double quarter = 1.5707963267948966;
    ASSERT_EQ(acedXrefOverlay("sub\\site.dxf", nullptr, &overlay, nullptr, &at, &twice, &quarter),
              Acad::eOk);
    AcDbBlockTableRecord* record = nullptr;
    ASSERT_EQ(acdbOpenObject(record, dbtest::blockId(c.db, "site"), AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(record->isFromOverlayReference());
    record->close();

    const std::string summary = c.ezdxf("attached.dxf");
    EXPECT_THAT(summary,
                AllOf(HasSubstr("\"NEWONE\": \"abs\\\\abs.dwg\""),
                      HasSubstr("\"site\": \"sub\\\\site.dxf\""), HasSubstr("\"name\": \"NEWONE\""),
                      HasSubstr("\"name\": \"site\""), HasSubstr("\"audit_errors\": []")));
}

TEST(XrefOperations, RefusedOperationsLeaveTheSavedFileAsItWas) {
    Current first;
    const std::string before = first.saved("before.dxf");  // with its nested records
    OpenDrawing reopened(first.fixtures, "before.dxf");
    acdbHostApplicationServices()->setWorkingDatabase(reopened.db.get());
    struct {
        AcDbDatabase& db;
        std::string saved(const std::string& name) {
            EXPECT_EQ(db.save(), Acad::eOk);
            return dxftest::readBytes(folder / name);
        }
        std::filesystem::path folder;
    } c{*reopened.db, first.fixtures.folder};
    AcDbObjectId block;
    EXPECT_EQ(acedXrefAttach("trees.dxf", "PLAN", &block), Acad::eDuplicateRecordName);
    EXPECT_EQ(acedXrefAttach("trees.dxf", "*Model_Space"), Acad::eDuplicateRecordName);
    EXPECT_EQ(acedXrefAttach("nowhere.dwg", "NEW"), Acad::eFileNotFound);
    EXPECT_EQ(acedXrefAttach("notdxf.dxf", "NEW"), Acad::eFileAccessErr);
    EXPECT_EQ(acedXrefAttach("binary.dwg", "NEW"), Acad::eFileAccessErr);
    EXPECT_EQ(acedXrefAttach("before.dxf", "SELF"), Acad::eInvalidInput);  // saved as that
    EXPECT_EQ(acedXrefAttach("trees.dxf", "A|B"), Acad::eInvalidInput);
    EXPECT_TRUE(block.isNull());
    EXPECT_EQ(acedXrefDetach("FLOOR"), Acad::eNotApplicable);  // nested in PLAN
    EXPECT_EQ(acedXrefDetach("NOSUCH"), Acad::eKeyNotFound);
    EXPECT_EQ(acedXrefDetach("*Model_Space"), Acad::eNotApplicable);
    EXPECT_EQ(acedXrefUnload("ROOM"), Acad::eNotApplicable);
    AcDbObjectIdArray ids;
    ids.append(dbtest::blockId(c.db, "TREES")).append(dbtest::blockId(c.db, "FLOOR"));
    EXPECT_EQ(acedXrefReload(ids), Acad::eNotApplicable);
    EXPECT_TRUE(c.saved("before.dxf") == before);
    EXPECT_EQ(statusOf(c.db, "FLOOR"), AcDb::kXrfResolved);
}

TEST(XrefOperations, UnloadIsKeptInTheFileAndReloadUndoesIt) {
    Current c;
    ASSERT_EQ(acedXrefUnload("PLAN"), Acad::eOk);
    EXPECT_EQ(statusOf(c.db, "PLAN"), AcDb::kXrfUnloaded);
    EXPECT_EQ(xreftest::loadedOf(c.db, "PLAN"), nullptr);
    EXPECT_EQ(statusOf(c.db, "FLOOR"), AcDb::kXrfUnreferenced);  // nothing loaded inserts it
    EXPECT_THAT(c.ezdxf("unloaded.dxf"), AllOf(HasSubstr("\"PLAN\": \"sub\\\\plan.dwg\""),
                                               HasSubstr("\"audit_errors\": []")));

    OpenDrawing reopened(c.fixtures, "unloaded.dxf");
    EXPECT_EQ(statusOf(*reopened.db, "PLAN"), AcDb::kXrfUnloaded);
    EXPECT_EQ(statusOf(*reopened.db, "TREES"), AcDb::kXrfResolved);

    AcDbObjectIdArray ids;
    ids.append(dbtest::blockId(c.db, "PLAN")).append(dbtest::blockId(c.db, "GONE"));
    ASSERT_EQ(acedXrefReload(ids), Acad::eOk);
    EXPECT_EQ(statusOf(c.db, "PLAN"), AcDb::kXrfResolved);
    EXPECT_EQ(statusOf(c.db, "ROOM"), AcDb::kXrfResolved);
    EXPECT_EQ(statusOf(c.db, "GONE"), AcDb::kXrfFileNotFound);
    c.saved("reloaded.dxf");
    OpenDrawing again(c.fixtures, "reloaded.dxf");
    EXPECT_EQ(statusOf(*again.db, "PLAN"), AcDb::kXrfResolved);
}

TEST(XrefOperations, DetachTakesTheNestedXrefsOnlyItUsesAndTheSymbolsItBroughtIn) {
    Current c;
    ASSERT_FALSE(dbtest::layerId(c.db, "PLAN|WALLS").isNull());
    ASSERT_EQ(acedXrefDetach("PLAN"), Acad::eOk);
    for (const char* gone : {"PLAN", "FLOOR", "ROOM"}) {
        EXPECT_TRUE(dbtest::blockId(c.db, gone).isNull()) << gone;
    }
    EXPECT_TRUE(dbtest::layerId(c.db, "PLAN|WALLS").isNull());
    ASSERT_EQ(acedXrefDetach("CYCLE1"), Acad::eOk);  // CYCLE2 only comes through CYCLE1
    EXPECT_TRUE(dbtest::blockId(c.db, "CYCLE2").isNull());
    ASSERT_EQ(acedXrefDetach("LOOSE"), Acad::eOk);  // unreferenced: no edge comes in
    EXPECT_EQ(statusOf(c.db, "TREES"), AcDb::kXrfResolved);

    const std::string summary = c.ezdxf("detached.dxf");
    EXPECT_THAT(summary,
                AllOf(Not(HasSubstr("\"PLAN\"")), Not(HasSubstr("\"ROOM\"")),
                      Not(HasSubstr("CYCLE")), Not(HasSubstr("PLAN|WALLS")),
                      HasSubstr("\"TREES\": \"trees.dxf\""), HasSubstr("\"audit_errors\": []")));
}

TEST(XrefOperations, FindFileSearchesTheProfileSupportPathAndNeverOverflows) {
    Current c;
    ASSERT_EQ(cadhost::app::registerHost(), "");
    const cadhost::app::RegistryKey general(platform::HKEY_CURRENT_USER,
                                            cadhost::app::profileKey() + "\\General", true);
    ASSERT_EQ(general.writeString(
                  "ACAD", c.fixtures.hostPath("nowhere") + ";" + c.fixtures.hostPath("support")),
              platform::ERROR_SUCCESS);
    char buffer[261] = {};
    ASSERT_EQ(acedFindFile("lib.dwg", buffer, sizeof buffer), RTNORM);
    const std::string expected = c.fixtures.hostPath("support\\lib.dxf");
    EXPECT_EQ(std::string(buffer), expected);
    EXPECT_EQ(acedFindFile("sub\\plan.dwg", buffer, sizeof buffer), RTNORM);  // from the drawing
    EXPECT_EQ(std::string(buffer), c.fixtures.hostPath("sub\\plan.dxf"));

    std::string small(expected.size(), '#');
    EXPECT_EQ(acedFindFile("lib.dwg", small.data(), small.size()), RTERROR);
    EXPECT_EQ(small, std::string(expected.size(), '#'));
    EXPECT_EQ(acedFindFile("lib.dwg", small.data(), 0), RTERROR);
    EXPECT_EQ(acedFindFile("missing.dwg", buffer, sizeof buffer), RTERROR);
    EXPECT_EQ(acedFindFile(nullptr, buffer, sizeof buffer), RTERROR);

    AcDbXrefGraph graph;
    ASSERT_EQ(acedGetCurDwgXrefGraph(graph), Acad::eOk);
    EXPECT_EQ(graph.rootNode()->database(), &c.db);
}

}  // namespace
