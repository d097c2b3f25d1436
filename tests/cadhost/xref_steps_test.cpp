// Operations on single xrefs bring the xref states up to date without finding and loading every
// xref again. Each test runs the same operations on two copies of one drawing: on the first as
// they are, on the second each followed by a full update (how every operation used to end).
// After every operation both show the same statuses, found files, loaded drawings and graph,
// and save the same bytes.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>

#include "cadhost/db/xref_state.h"
#include "cadhost/sdk/dbents.h"
#include "cadhost/sdk/dbxrefgraph.h"
#include "cadhost/xref/drawing_scan.h"
#include "cadhost/xref/xref_operations.h"
#include "db_test_support.h"
#include "dxf_test_support.h"
#include "platform/host_path.h"
#include "platform/splitpath.h"
#include "support/temp_prefix.h"
#include "xref_test_support.h"

namespace {

using cadhost::xref::DrawingXrefs;

struct Xref {
    std::string name;
    std::string path;
    bool inserted = true;
};

// A drawing with a line and the given xrefs, saved at `path`.
void writeDrawing(const std::filesystem::path& path, const std::vector<Xref>& xrefs) {
    std::filesystem::create_directories(path.parent_path());
    AcDbDatabase db;
    AcDbBlockTable* table = nullptr;
    ASSERT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
    AcDbBlockTableRecord* space = nullptr;
    ASSERT_EQ(table->getAt("*Model_Space", space, AcDb::kForWrite), Acad::eOk);
    auto* line = new AcDbPolyline;
    line->addVertexAt(0, AcGePoint2d(0, 0));
    line->addVertexAt(1, AcGePoint2d(10, 5));
    space->appendAcDbEntity(line);
    line->close();
    for (const Xref& xref : xrefs) {
        auto* block = new AcDbBlockTableRecord;
        block->setName(xref.name.c_str());
        cadhost::db::setXrefFlags(*block, true, false);
        block->setPathName(xref.path.c_str());
        AcDbObjectId id;
        ASSERT_EQ(table->add(id, block), Acad::eOk);
        block->close();
        if (xref.inserted) {
            auto* reference = new AcDbBlockReference(AcGePoint3d(1, 2, 0), id);
            space->appendAcDbEntity(reference);
            reference->close();
        }
    }
    space->close();
    table->close();
    ASSERT_EQ(db.saveAs(path.c_str()), Acad::eOk);
}

// The site: main.dxf with
//   A      a.dxf, inserting SHARED (shared.dxf beside it) and ONLYA
//   B      b2\b.dxf, inserting SHARED: found as b2\shared.dxf, another file than A's
//   C      c.dxf, inserting DEEP, which inserts DEEPER
//   S      s.dxf, inserting R, which the drawing also inserts itself
//   R      r.dxf
//   F1..F4 f1.dxf .. f4.dxf, drawings without xrefs
//   GONE   missing.dxf, found nowhere
//   BAD    bad.dxf, not a drawing
//   LOOSE  f1.dxf, never inserted
// and spare drawings to attach: n1.dxf (no xrefs), n2.dxf (inserting ONLYA).
struct Site {
    Site() {
        const auto& f = folder;
        writeDrawing(f / "main.dxf", {{"A", "a.dxf"},
                                      {"B", "b2\\b.dxf"},
                                      {"C", "c.dxf"},
                                      {"S", "s.dxf"},
                                      {"R", "r.dxf"},
                                      {"F1", "f1.dxf"},
                                      {"F2", "f2.dxf"},
                                      {"F3", "f3.dxf"},
                                      {"F4", "f4.dxf"},
                                      {"GONE", "missing.dxf"},
                                      {"BAD", "bad.dxf"},
                                      {"LOOSE", "f1.dxf", false}});
        writeDrawing(f / "a.dxf", {{"SHARED", "shared.dxf"}, {"ONLYA", "onlya.dxf"}});
        writeDrawing(f / "b2" / "b.dxf", {{"SHARED", "shared.dxf"}});
        writeDrawing(f / "c.dxf", {{"DEEP", "deep.dxf"}});
        writeDrawing(f / "deep.dxf", {{"DEEPER", "deeper.dxf"}});
        writeDrawing(f / "s.dxf", {{"R", "r.dxf"}});
        writeDrawing(f / "n2.dxf", {{"ONLYA", "onlya.dxf"}});
        for (const char* plain : {"shared.dxf", "b2/shared.dxf", "onlya.dxf", "deeper.dxf", "r.dxf",
                                  "f1.dxf", "f2.dxf", "f3.dxf", "f4.dxf", "n1.dxf"}) {
            writeDrawing(f / plain, {});
        }
        std::ofstream(f / "bad.dxf") << "not a drawing\n";
        std::filesystem::copy_file(f / "main.dxf", f / "fast.dxf");
        std::filesystem::copy_file(f / "main.dxf", f / "full.dxf");
    }
    testsupport::TempPrefix prefix;
    std::filesystem::path folder = prefix.scratch() / "site";
    std::string hostFolder = platform::nativeToHost(folder);
};

// One copy of main.dxf, open with its xrefs loaded.
struct Copy {
    Copy(Site& site, const std::string& name) : path(site.folder / name) {
        EXPECT_EQ(db.readDxfFile(path.c_str()), Acad::eOk);
        xrefs = std::make_unique<DrawingXrefs>(
            db, cadhost::xref::SearchPath{},
            [this](const std::string& text) { messages.insert(text); });
        xrefs->update();
    }
    ~Copy() { xrefs.reset(); }

    // Statuses, found files, loaded drawings and edges of the graph, and what every block
    // record reports of its xref state.
    std::string state() {
        std::ostringstream out;
        AcDbXrefGraph graph;
        EXPECT_EQ(acdbGetHostDwgXrefGraph(&db, graph, true), Acad::eOk);
        for (int i = 1; i < graph.numNodes(); ++i) {
            const AcDbXrefGraphNode* node = graph.xrefNode(i);
            const char* loaded = "";
            if (node->database()) {
                node->database()->getFilename(loaded);
            }
            out << node->name() << " status " << node->xrefStatus() << " first "
                << !node->isNested() << " found '" << xrefs->foundPath(node->btrId())
                << "' loaded '" << loaded << "' ->";
            for (int j = 0; j < node->numOut(); ++j) {
                out << ' ' << static_cast<const AcDbXrefGraphNode*>(node->out(j))->name();
            }
            out << '\n';
        }
        AcDbBlockTable* table = nullptr;
        EXPECT_EQ(db.getBlockTable(table, AcDb::kForRead), Acad::eOk);
        AcDbBlockTableIterator* it = nullptr;
        table->newIterator(it);
        for (; !it->done(); it->step()) {
            AcDbObjectId id;
            it->getRecordId(id);
            AcDbBlockTableRecord* block = nullptr;
            EXPECT_EQ(acdbOpenObject(block, id, AcDb::kForRead), Acad::eOk);
            const char* name = nullptr;
            block->getName(name);
            out << "block " << name << ' ' << block->xrefStatus() << ' '
                << (block->xrefDatabase(true) != nullptr) << '\n';
            block->close();
        }
        delete it;
        table->close();
        return out.str();
    }
    // The saved file, without the time of the save.
    std::string saved() {
        EXPECT_EQ(db.saveAs(path.c_str()), Acad::eOk);
        std::string bytes = dxftest::readBytes(path);
        const std::string variable = "$TDUPDATE\n 40\n";
        if (const auto at = bytes.find(variable); at != std::string::npos) {
            const auto begin = at + variable.size();
            bytes.erase(begin, bytes.find('\n', begin) - begin);
        }
        return bytes;
    }

    std::filesystem::path path;
    AcDbDatabase db{false};
    std::set<std::string> messages;
    std::unique_ptr<DrawingXrefs> xrefs;
};

struct Twins {
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

TEST(XrefSteps, DetachesOfXrefsWithoutSharedNestedOnesUpdateOnlyThoseAndTheRestAsAFullUpdate) {
    Twins t;
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

TEST(XrefSteps, AttachesLoadOnlyTheNewXrefUnlessItsFileInsertsXrefsAndRefusalsChangeNothing) {
    Twins t;
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

TEST(XrefSteps, ReloadingAllThenStrippingPathsIsSeenByTheNextOperation) {
    Twins t;
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

TEST(XrefSteps, BindsOfXrefsWhoseNestedXrefsNoOtherInsertsUpdateOnlyThose) {
    Twins t;
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

}  // namespace
