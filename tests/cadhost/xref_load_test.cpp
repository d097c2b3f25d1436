// Loading a drawing's xrefs: where files are found, the status of each xref block, nested
// and circular xrefs, files that cannot be loaded, and the xref graph.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cadhost/sdk/dbents.h"
#include "cadhost/sdk/dbxrefgraph.h"
#include "db_test_support.h"
#include "dxf_test_support.h"
#include "xref_test_support.h"

namespace {

using testing::AllOf;
using testing::ElementsAre;
using testing::EndsWith;
using testing::HasSubstr;
using testing::UnorderedElementsAre;
using xreftest::loadedOf;
using xreftest::OpenDrawing;
using xreftest::statusOf;
using xreftest::XrefFixtures;

TEST(XrefLoad, EachXrefGetsTheStatusOfWhatWasFound) {
    XrefFixtures fixtures;
    OpenDrawing host(fixtures, "host.dxf");
    AcDbDatabase& db = *host.db;
    EXPECT_EQ(statusOf(db, "PLAN"), AcDb::kXrfResolved);   // relative, .dwg found as .dxf
    EXPECT_EQ(statusOf(db, "TREES"), AcDb::kXrfResolved);  // overlay, bare name
    EXPECT_EQ(statusOf(db, "ABS"), AcDb::kXrfResolved);    // absolute
    EXPECT_EQ(statusOf(db, "LIB"), AcDb::kXrfResolved);    // on the support path
    EXPECT_EQ(statusOf(db, "GONE"), AcDb::kXrfFileNotFound);
    EXPECT_EQ(statusOf(db, "LOOSE"), AcDb::kXrfUnreferenced);
    EXPECT_EQ(statusOf(db, "NOTDXF"), AcDb::kXrfUnresolved);
    EXPECT_EQ(statusOf(db, "BINARY"), AcDb::kXrfUnresolved);
    EXPECT_EQ(statusOf(db, "*Model_Space"), AcDb::kXrfNotAnXref);

    EXPECT_THAT(host.xrefs->foundPath(dbtest::blockId(db, "LIB")),
                AllOf(HasSubstr(fixtures.hostFolder), EndsWith("\\support\\lib.dxf")));
    EXPECT_EQ(host.xrefs->foundPath(dbtest::blockId(db, "PLAN")),
              fixtures.hostPath("sub\\plan.dxf"));
    EXPECT_EQ(host.xrefs->foundPath(dbtest::blockId(db, "GONE")), "");

    AcDbDatabase* plan = loadedOf(db, "PLAN");
    ASSERT_NE(plan, nullptr);
    EXPECT_NE(plan, &db);
    EXPECT_EQ(loadedOf(db, "GONE"), nullptr);
    EXPECT_EQ(loadedOf(db, "NOTDXF"), nullptr);
    short month = 0, day = 0, year = 0;
    plan->tdupdate().getDate(month, day, year);
    EXPECT_GE(year, 2020);  // the xref's own last update, written by ezdxf

    // One message per file that was found but not loaded, naming the file and the reason.
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_THAT(host.messages, testing::Each(testing::StartsWith("\n")));
    EXPECT_THAT(host.messages, testing::Contains(AllOf(HasSubstr("binary.dwg"), HasSubstr("DWG"))));
    EXPECT_THAT(host.messages, testing::Contains(HasSubstr("notdxf.dxf")));
}

TEST(XrefLoad, AttachmentsInsideXrefsLoadAsNestedRecordsOverlaysAndCyclesStop) {
    XrefFixtures fixtures;
    OpenDrawing host(fixtures, "host.dxf");
    AcDbDatabase& db = *host.db;
    EXPECT_EQ(statusOf(db, "FLOOR"), AcDb::kXrfResolved);  // in PLAN, beside plan.dxf
    EXPECT_EQ(statusOf(db, "ROOM"), AcDb::kXrfResolved);   // in FLOOR: second level
    EXPECT_EQ(statusOf(db, "CYCLE1"), AcDb::kXrfResolved);
    EXPECT_EQ(statusOf(db, "CYCLE2"), AcDb::kXrfResolved);
    EXPECT_TRUE(dbtest::blockId(db, "SITE").isNull());   // an overlay inside an xref
    EXPECT_TRUE(dbtest::blockId(db, "SPARE").isNull());  // never inserted by PLAN
    EXPECT_EQ(host.xrefs->foundPath(dbtest::blockId(db, "ROOM")),
              fixtures.hostPath("sub\\rooms\\room.dxf"));

    // The nested records are kept with the drawing; reading it again finds the same state
    // and adds nothing, so saving it unchanged writes the same bytes.
    const auto saved = fixtures.folder / "saved.dxf";
    ASSERT_EQ(db.saveAs(saved.c_str()), Acad::eOk);
    OpenDrawing again(fixtures, "saved.dxf");
    EXPECT_EQ(statusOf(*again.db, "ROOM"), AcDb::kXrfResolved);
    EXPECT_EQ(statusOf(*again.db, "LOOSE"), AcDb::kXrfUnreferenced);
    const auto resaved = fixtures.folder / "resaved.dxf";
    ASSERT_EQ(again.db->saveAs(resaved.c_str()), Acad::eOk);
    EXPECT_EQ(dxftest::readBytes(saved), dxftest::readBytes(resaved));
    EXPECT_THAT(xreftest::ezdxfSummary(saved),
                AllOf(HasSubstr("\"ROOM\": \"rooms\\\\room.dxf\""),
                      HasSubstr("\"FLOOR\": \"floor.dxf\""), HasSubstr("\"audit_errors\": []")));
}

TEST(XrefLoad, UpdateSearchesAgainAndRereadsOnlyTheFilesAskedFor) {
    XrefFixtures fixtures;
    OpenDrawing host(fixtures, "host.dxf");
    AcDbDatabase& db = *host.db;
    std::filesystem::remove(fixtures.folder / "trees.dxf");
    // PLAN no longer attaches FLOOR on disk; the loaded copy still does until reread.
    std::filesystem::copy_file(fixtures.folder / "loose.dxf", fixtures.folder / "sub" / "plan.dxf",
                               std::filesystem::copy_options::overwrite_existing);
    // GONE's file appears in a support folder the open searched in vain.
    std::filesystem::copy_file(fixtures.folder / "loose.dxf",
                               fixtures.folder / "support" / "Missing.dxf");
    host.messages.clear();
    host.xrefs->update();
    EXPECT_EQ(statusOf(db, "TREES"), AcDb::kXrfFileNotFound);
    EXPECT_EQ(loadedOf(db, "TREES"), nullptr);
    EXPECT_EQ(statusOf(db, "FLOOR"), AcDb::kXrfResolved);
    EXPECT_EQ(statusOf(db, "GONE"), AcDb::kXrfResolved);
    EXPECT_EQ(host.xrefs->foundPath(dbtest::blockId(db, "GONE")),
              fixtures.hostPath("support\\missing.dxf"));

    host.xrefs->update({dbtest::blockId(db, "PLAN")});
    EXPECT_EQ(statusOf(db, "PLAN"), AcDb::kXrfResolved);
    EXPECT_EQ(statusOf(db, "FLOOR"), AcDb::kXrfUnreferenced);
    EXPECT_EQ(statusOf(db, "ROOM"), AcDb::kXrfUnreferenced);
    EXPECT_TRUE(host.messages.empty());  // files that failed before are not reported again
}

// Appends a reference to `xref` to the block; returns its id.
AcDbObjectId addReference(AcDbDatabase& db, AcDbObjectId block, const char* xref) {
    AcDbBlockTableRecord* record = nullptr;
    EXPECT_EQ(acdbOpenObject(record, block, AcDb::kForWrite), Acad::eOk);
    auto* reference = new AcDbBlockReference(AcGePoint3d::kOrigin, dbtest::blockId(db, xref));
    AcDbObjectId id;
    EXPECT_EQ(record->appendAcDbEntity(id, reference), Acad::eOk);
    reference->close();
    record->close();
    return id;
}

TEST(XrefLoad, AReferenceInAnyBlockOrInPaperSpaceInsertsAnXrefAndAnErasedOneDoesNot) {
    XrefFixtures fixtures;
    OpenDrawing host(fixtures, "host.dxf");
    AcDbDatabase& db = *host.db;
    ASSERT_EQ(statusOf(db, "LOOSE"), AcDb::kXrfUnreferenced);

    // A reference inside an ordinary block counts, even in a block nothing inserts.
    AcDbBlockTable* table = nullptr;
    ASSERT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
    auto* holder = new AcDbBlockTableRecord;
    holder->setName("HOLDER");
    AcDbObjectId holderId;
    ASSERT_EQ(table->add(holderId, holder), Acad::eOk);
    holder->close();
    table->close();
    const AcDbObjectId inBlock = addReference(db, holderId, "LOOSE");
    host.xrefs->update();
    EXPECT_EQ(statusOf(db, "LOOSE"), AcDb::kXrfResolved);

    ASSERT_EQ(dbtest::setErased(inBlock), Acad::eOk);
    host.xrefs->update();
    EXPECT_EQ(statusOf(db, "LOOSE"), AcDb::kXrfUnreferenced);

    addReference(db, dbtest::blockId(db, "*Paper_Space"), "LOOSE");
    host.xrefs->update();
    EXPECT_EQ(statusOf(db, "LOOSE"), AcDb::kXrfResolved);
}

// The drawing saved in its subfolder sub: relative paths now start there.
TEST(XrefLoad, UpdateAndReportSaysWhichXrefsChangedAndKeepsTheFilesStillFoundWhereTheyWere) {
    XrefFixtures fixtures;
    OpenDrawing host(fixtures, "host.dxf");
    AcDbDatabase& db = *host.db;
    AcDbDatabase* const plan = loadedOf(db, "PLAN");
    AcDbDatabase* const abs = loadedOf(db, "ABS");
    AcDbDatabase* const lib = loadedOf(db, "LIB");
    const auto sub = fixtures.folder / "sub";
    std::filesystem::copy_file(fixtures.folder / "support" / "lib.dxf", sub / "lib.dxf");
    std::filesystem::copy_file(fixtures.folder / "bind" / "host.dxf", sub / "missing.dxf");
    std::filesystem::copy_file(fixtures.folder / "bind" / "parts.dxf", sub / "parts.dxf");
    ASSERT_EQ(db.saveAs((sub / "moved.dxf").c_str()), Acad::eOk);
    host.messages.clear();
    host.xrefs->updateAndReport();

    EXPECT_THAT(host.messages,
                ElementsAre("\nXref \"TREES\" is now Not Found (was Loaded).",
                            "\nXref \"LIB\" is now found at " + fixtures.hostPath("sub\\lib.dxf") +
                                " (was " + fixtures.hostPath("support\\lib.dxf") + ").",
                            "\nXref \"GONE\" is now Loaded (was Not Found).",
                            "\nXref \"NOTDXF\" is now Not Found (was Unresolved).",
                            "\nXref \"BINARY\" is now Not Found (was Unresolved).",
                            "\nXref \"CYCLE1\" is now Not Found (was Loaded).",
                            "\nXref \"CYCLE2\" is now Unreferenced (was Loaded).",
                            "\nXref \"PARTS\" is now Loaded (nested, new in the drawing)."));
    // PLAN's stored sub\plan.dwg no longer leads anywhere, but its bare name is found in the
    // drawing's new folder: the same file, kept loaded, as is ABS's by its absolute path.
    EXPECT_EQ(statusOf(db, "PLAN"), AcDb::kXrfResolved);
    EXPECT_EQ(loadedOf(db, "PLAN"), plan);
    EXPECT_EQ(loadedOf(db, "ABS"), abs);
    EXPECT_EQ(loadedOf(db, "TREES"), nullptr);
    EXPECT_NE(loadedOf(db, "LIB"), lib);
    EXPECT_EQ(host.xrefs->foundPath(dbtest::blockId(db, "PARTS")),
              fixtures.hostPath("sub\\parts.dxf"));

    // Nothing changes when it runs again.
    host.messages.clear();
    host.xrefs->updateAndReport();
    EXPECT_THAT(host.messages, testing::IsEmpty());
    EXPECT_EQ(loadedOf(db, "PLAN"), plan);
}

std::vector<std::string> namesIn(const AcDbXrefGraphNode* node) {
    std::vector<std::string> names;
    for (int i = 0; i < node->numIn(); ++i) {
        names.emplace_back(static_cast<AcDbXrefGraphNode*>(node->in(i))->name());
    }
    return names;
}

TEST(XrefGraph, EdgesLeadFromTheDrawingAndFromLoadedXrefsToWhatTheyInsert) {
    XrefFixtures fixtures;
    OpenDrawing host(fixtures, "host.dxf");
    AcDbDatabase& db = *host.db;
    AcDbXrefGraph graph;
    ASSERT_EQ(acdbGetHostDwgXrefGraph(&db, graph), Acad::eOk);
    ASSERT_NE(graph.rootNode(), nullptr);
    EXPECT_STREQ(graph.rootNode()->name(), "host");
    EXPECT_EQ(graph.rootNode()->database(), &db);
    EXPECT_EQ(graph.rootNode()->numOut(), 8);

    auto node = [&](const char* name) {
        AcDbXrefGraphNode* found = graph.xrefNode(dbtest::blockId(db, name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    };
    EXPECT_FALSE(node("PLAN")->isNested());
    EXPECT_TRUE(node("PLAN")->isMarkedAs(AcDbGraphNode::kFirstLevel));
    EXPECT_THAT(namesIn(node("PLAN")), ElementsAre("host"));
    EXPECT_TRUE(node("FLOOR")->isNested());
    EXPECT_THAT(namesIn(node("FLOOR")), ElementsAre("PLAN"));
    EXPECT_EQ(static_cast<AcDbXrefGraphNode*>(node("FLOOR")->in(0))->btrId(),
              dbtest::blockId(db, "PLAN"));
    EXPECT_THAT(namesIn(node("ROOM")), ElementsAre("FLOOR"));
    EXPECT_TRUE(node("LOOSE")->isNested());
    EXPECT_EQ(node("LOOSE")->numIn(), 0);
    EXPECT_THAT(namesIn(node("CYCLE1")), UnorderedElementsAre("host", "CYCLE2"));
    EXPECT_THAT(namesIn(node("CYCLE2")), ElementsAre("CYCLE1"));
    EXPECT_EQ(node("GONE")->xrefStatus(), AcDb::kXrfFileNotFound);
    EXPECT_EQ(graph.xrefNode("SITE"), nullptr);
    EXPECT_EQ(graph.xrefNode(AcDbObjectId::kNull), nullptr);
    EXPECT_EQ(node("PLAN")->in(1), nullptr);

    AcDbXrefGraph withGhosts;
    ASSERT_EQ(acdbGetHostDwgXrefGraph(&db, withGhosts, true), Acad::eOk);
    AcDbXrefGraphNode* site = withGhosts.xrefNode("SITE");
    ASSERT_NE(site, nullptr);
    EXPECT_TRUE(site->btrId().isNull());
    EXPECT_THAT(namesIn(site), ElementsAre("PLAN"));
    EXPECT_EQ(acdbGetHostDwgXrefGraph(nullptr, graph), Acad::eNoDatabase);
    EXPECT_EQ(graph.numNodes(), 0);
}

}  // namespace
