#pragma once
// A site of drawings with xrefs written by the host itself, and copies of its main drawing
// opened with their xrefs loaded, whose state and saved bytes tests compare.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cadhost/db/xref_state.h"
#include "cadhost/sdk/dbents.h"
#include "cadhost/sdk/dbxrefgraph.h"
#include "cadhost/xref/drawing_xrefs.h"
#include "dxf_test_support.h"
#include "platform/host_path.h"
#include "support/temp_prefix.h"

namespace xreftest {

using cadhost::xref::DrawingXrefs;

struct Xref {
    std::string name;
    std::string path;
    bool inserted = true;
};

// A drawing with a line and the given xrefs, saved at `path`.
inline void writeDrawing(const std::filesystem::path& path, const std::vector<Xref>& xrefs) {
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

}  // namespace xreftest
