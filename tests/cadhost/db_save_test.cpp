// Changes made through the object API, saved, and read back by ezdxf, whose audit must find no
// error; saving rules for unchanged drawings, R12 limits and new drawings.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cadhost/db/dxf_document.h"
#include "cadhost/db/dxf_file.h"
#include "cadhost/db/xref_state.h"
#include "cadhost/sdk/acutads.h"
#include "cadhost/sdk/dbapserv.h"
#include "cadhost/sdk/dbents.h"
#include "cadhost/sdk/dbtrans.h"
#include "db_test_support.h"
#include "dxf_test_support.h"
#include "support/temp_prefix.h"

namespace {

using dbtest::Drawing;
using testing::HasSubstr;
using testing::Not;

// What ezdxf reports of the marker polyline after its vertex count and type.
const std::string kMarkerVertexAndXdata =
    "\"vertex1\": [1.0, 0.5, 0.0, 0.0, 0.0], \"xdata_LNKHOLD\": [[1000, \"C:\\\\p\\\\a\"], "
    "[1000, \"D:\\\\q\\\\Größe\"], [1070, 1], [1070, 0]]}]";

// The marker block as the plug-in builds it: a new block holding a polyline of 200 vertices
// whose xdata is set before any vertex exists and before the block is in the table.
Acad::ErrorStatus addMarkerBlock(AcDbDatabase& db) {
    auto* block = new AcDbBlockTableRecord;
    EXPECT_EQ(block->setName("$LNKHOLD$"), Acad::eOk);
    auto* polyline = new AcDbPolyline;
    resbuf* chain = dbtest::xdataChain("LNKHOLD", {"C:\\p\\a", "D:\\q\\Größe"}, {1, 0});
    EXPECT_EQ(polyline->setXData(chain), Acad::eOk);
    acutRelRb(chain);
    for (unsigned int i = 0; i < 200; ++i) {
        EXPECT_EQ(polyline->addVertexAt(i, AcGePoint2d(i, i % 2 ? 0.5 : 0.0), 0.0, -1.0, -1.0),
                  Acad::eOk);
    }
    EXPECT_EQ(block->appendAcDbEntity(polyline), Acad::eOk);
    polyline->close();
    AcDbBlockTable* table = nullptr;
    EXPECT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
    Acad::ErrorStatus es = table->add(block);
    table->close();
    if (es == Acad::eOk) {
        block->close();
    } else {
        delete block;
    }
    return es;
}

void addXrefBlock(AcDbDatabase& db) {
    auto* block = new AcDbBlockTableRecord;
    block->setName("PLAN");
    ASSERT_EQ(cadhost::db::setXrefFlags(*block, true, true), Acad::eOk);
    ASSERT_EQ(block->setPathName("C:\\xrefs\\plan.dwg"), Acad::eOk);
    AcDbBlockTable* table = nullptr;
    ASSERT_EQ(db.getBlockTable(table, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(table->add(block), Acad::eOk);
    EXPECT_TRUE(block->isFromOverlayReference());
    block->close();
    table->close();
}

void addLayer(AcDbDatabase& db, const char* name) {
    AcDbLayerTable* table = nullptr;
    ASSERT_EQ(db.getLayerTable(table, AcDb::kForWrite), Acad::eOk);
    auto* layer = new AcDbLayerTableRecord;
    layer->setName(name);
    AcDbObjectId id;
    ASSERT_EQ(table->add(id, layer), Acad::eOk);
    layer->setIsLocked(true);
    layer->close();
    table->close();
    ASSERT_EQ(db.setClayer(id), Acad::eOk);
}

TEST(DbSave, EzdxfAuditsAndReadsBackLayersXrefBlocksPolylinesXdataAndErasures) {
    for (const char* name : {"ezdxf_R2000.dxf", "ezdxf_R2004_binary.dxf", "ezdxf_R2018.dxf"}) {
        SCOPED_TRACE(name);
        Drawing drawing(name);
        AcDbDatabase& db = *drawing.db;
        acdbHostApplicationServices()->setWorkingDatabase(&db);
        std::string original = dxftest::readBytes(drawing.path);
        ASSERT_TRUE(acdbRegApp("LNKHOLD", &db));
        addLayer(db, "0_plan");
        addXrefBlock(db);
        ASSERT_EQ(addMarkerBlock(db), Acad::eOk);
        ASSERT_EQ(dbtest::setErased(dbtest::entityOfType(db, "*Model_Space", "TEXT")), Acad::eOk);
        ASSERT_EQ(db.save(), Acad::eOk);
        acdbHostApplicationServices()->setWorkingDatabase(nullptr);

        EXPECT_TRUE(dxftest::readBytes(drawing.path.string() + ".bak") == original);
        std::string report = dxftest::ezdxfReport(drawing.path);
        EXPECT_THAT(report, HasSubstr("\"audit_errors\": []"));
        EXPECT_THAT(report, HasSubstr("\"0_plan\""));
        EXPECT_THAT(report, HasSubstr("\"clayer\": \"0_plan\""));
        EXPECT_THAT(report, HasSubstr("\"PLAN\": \"C:\\\\xrefs\\\\plan.dwg\""));
        EXPECT_THAT(report, HasSubstr("\"WHEEL\": \"parts/wheel.dxf\""));
        EXPECT_THAT(report,
                    HasSubstr("\"$LNKHOLD$\": [{\"last\": [199.0, 0.5], \"layer\": \"0_plan\", "
                              "\"points\": 200, \"type\": \"LWPOLYLINE\", " +
                              kMarkerVertexAndXdata));
        EXPECT_THAT(report, HasSubstr("\"xdata_OTHERAPP\": [[1000, \"kept Größe\"]"));
        EXPECT_THAT(report, Not(HasSubstr("TEXT")));

        // Read back by the host: the same names, vertices and flags.
        AcDbDatabase reread(false);
        ASSERT_EQ(reread.readDxfFile(drawing.path.c_str()), Acad::eOk);
        AcDbLayerTableRecord* layer = nullptr;
        ASSERT_EQ(acdbOpenObject(layer, dbtest::layerId(reread, "0_PLAN"), AcDb::kForRead),
                  Acad::eOk);
        EXPECT_TRUE(layer->isLocked());
        layer->close();
        AcDbPolyline* polyline = nullptr;
        ASSERT_EQ(acdbOpenObject(polyline, dbtest::entityOfType(reread, "$LNKHOLD$", "LWPOLYLINE"),
                                 AcDb::kForRead),
                  Acad::eOk);
        EXPECT_EQ(polyline->numVerts(), 200u);
        AcGePoint2d point;
        ASSERT_EQ(polyline->getPointAt(199, point), Acad::eOk);
        EXPECT_EQ(point, AcGePoint2d(199, 0.5));
        EXPECT_EQ(polyline->ownerId(), dbtest::blockId(reread, "$LNKHOLD$"));
        polyline->close();
    }
}

TEST(DbSave, UnchangedDrawingsKeepTheirBytesAndChangedOnesGetTheSaveTime) {
    Drawing drawing("ezdxf_R2018.dxf");
    std::string original = dxftest::readBytes(drawing.path);
    AcDbLayerTableRecord* layer = nullptr;
    ASSERT_EQ(acdbOpenObject(layer, dbtest::layerId(*drawing.db, "WALLS"), AcDb::kForWrite),
              Acad::eOk);
    layer->close();  // opened for write, nothing changed
    ASSERT_EQ(drawing.db->save(), Acad::eOk);
    EXPECT_TRUE(dxftest::readBytes(drawing.path) == original);

    ASSERT_EQ(drawing.db->setVisretain(false), Acad::eOk);
    AcDbDate before = AcDbDate::now();
    ASSERT_EQ(drawing.db->save(), Acad::eOk);
    EXPECT_FALSE(drawing.db->visretain());
    EXPECT_GE(drawing.db->tdupdate().julian(), before.julian() - 1e-6);
    AcDbDatabase reread(false);
    ASSERT_EQ(reread.readDxfFile(drawing.path.c_str()), Acad::eOk);
    EXPECT_FALSE(reread.visretain());
    EXPECT_NEAR(reread.tdupdate().julian(), before.julian(), 2.0 / 86400);
}

// A polyline read back as a lightweight one: its count, closed flag, one vertex in full, and
// its extended data.
std::string describePolyline(AcDbObjectId id, unsigned int index) {
    AcDbPolyline* polyline = nullptr;
    EXPECT_EQ(acdbOpenObject(polyline, id, AcDb::kForRead), Acad::eOk);
    if (!polyline) {
        return "not a polyline";
    }
    AcGePoint2d point;
    double bulge = 0;
    double start = 0;
    double end = 0;
    polyline->getPointAt(index, point);
    polyline->getBulgeAt(index, bulge);
    polyline->getWidthsAt(index, start, end);
    std::ostringstream text;
    text << polyline->numVerts() << (polyline->isClosed() ? " closed " : " open ") << point.x << ","
         << point.y << " bulge " << bulge << " widths " << start << "," << end;
    resbuf* chain = polyline->xData("LNKHOLD");
    for (resbuf* rb = chain; rb; rb = rb->rbnext) {
        text << " " << rb->restype << ":"
             << (acutRbHoldsString(rb->restype) ? rb->resval.rstring
                                                : std::to_string(rb->resval.rint));
    }
    acutRelRb(chain);
    polyline->close();
    return text.str();
}

TEST(DbSave, R12DrawingsHoldTheMarkerPolylineAsAClassicPolylineAndReadItBackWhole) {
    Drawing drawing("ezdxf_R12.dxf");
    AcDbDatabase& db = *drawing.db;
    acdbHostApplicationServices()->setWorkingDatabase(&db);
    ASSERT_TRUE(acdbRegApp("LNKHOLD", &db));
    addLayer(db, "0_plan");
    addXrefBlock(db);
    ASSERT_EQ(addMarkerBlock(db), Acad::eOk);
    ASSERT_EQ(dbtest::setErased(dbtest::entityOfType(db, "$Model_Space", "TEXT")), Acad::eOk);
    ASSERT_EQ(db.save(), Acad::eOk);
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    EXPECT_EQ(db.dxfVersion(), "AC1009");

    std::string report = dxftest::ezdxfReport(drawing.path);
    EXPECT_THAT(report, HasSubstr("\"audit_errors\": []"));
    EXPECT_THAT(report, HasSubstr("\"0_plan\""));
    EXPECT_THAT(report,
                HasSubstr("\"$LNKHOLD$\": [{\"closed\": false, \"last\": [199.0, 0.5], "
                          "\"layer\": \"0_plan\", \"points\": 200, \"type\": \"POLYLINE\", " +
                          kMarkerVertexAndXdata));
    EXPECT_THAT(report, HasSubstr("\"PLAN\": \"C:\\\\xrefs\\\\plan.dwg\""));
    EXPECT_THAT(report, Not(HasSubstr("TEXT")));

    // Read back by the host as the lightweight polyline it was; opened for write and closed
    // unchanged it leaves the file as it is.
    const std::string marker =
        "200 open 1,0.5 bulge 0 widths 0,0 1001:LNKHOLD 1000:C:\\p\\a 1000:D:\\q\\Größe "
        "1070:1 1070:0";
    AcDbDatabase reread(false);
    ASSERT_EQ(reread.readDxfFile(drawing.path.c_str()), Acad::eOk);
    AcDbObjectId id = dbtest::entityOfType(reread, "$LNKHOLD$", "LWPOLYLINE");
    EXPECT_EQ(describePolyline(id, 1), marker);
    std::string saved = dxftest::readBytes(drawing.path);
    AcDbPolyline* polyline = nullptr;
    ASSERT_EQ(acdbOpenObject(polyline, id, AcDb::kForWrite), Acad::eOk);
    polyline->close();
    ASSERT_EQ(reread.save(), Acad::eOk);
    EXPECT_TRUE(dxftest::readBytes(drawing.path) == saved);

    // Changed: widths, a bulge and the closed flag go into the VERTEX and POLYLINE records;
    // an aborted change leaves them as they were.
    AcDbTransactionManager& tm = *reread.transactionManager();
    tm.startTransaction();
    AcDbObject* object = nullptr;
    ASSERT_EQ(tm.getObject(object, id, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(AcDbPolyline::cast(object)->addVertexAt(0, AcGePoint2d(9, 9)), Acad::eOk);
    ASSERT_EQ(tm.abortTransaction(), Acad::eOk);
    EXPECT_EQ(describePolyline(id, 1), marker);
    ASSERT_EQ(acdbOpenObject(polyline, id, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(polyline->addVertexAt(1, AcGePoint2d(-2.5, 4), 0.5, 0.25, 0.75), Acad::eOk);
    ASSERT_EQ(polyline->setClosed(true), Acad::eOk);
    polyline->close();
    ASSERT_EQ(reread.save(), Acad::eOk);
    report = dxftest::ezdxfReport(drawing.path);
    EXPECT_THAT(report, HasSubstr("\"audit_errors\": []"));
    EXPECT_THAT(report,
                HasSubstr("\"closed\": true, \"last\": [199.0, 0.5], \"layer\": \"0_plan\", "
                          "\"points\": 201, \"type\": \"POLYLINE\", \"vertex1\": "
                          "[-2.5, 4.0, 0.25, 0.75, 0.5]"));
    AcDbDatabase third(false);
    ASSERT_EQ(third.readDxfFile(drawing.path.c_str()), Acad::eOk);
    EXPECT_THAT(describePolyline(dbtest::entityOfType(third, "$LNKHOLD$", "LWPOLYLINE"), 1),
                HasSubstr("201 closed -2.5,4 bulge 0.5 widths 0.25,0.75 1001:LNKHOLD"));
}

TEST(DbSave, ANewDrawingIsACompleteFileOfItsOwnRelease) {
    testsupport::TempDir dir;
    auto path = dir.path() / "new.dxf";
    AcDbDatabase db;
    EXPECT_EQ(db.dxfVersion(), "AC1018");
    EXPECT_TRUE(db.tilemode());
    ASSERT_FALSE(dbtest::blockId(db, "*Model_Space").isNull());
    ASSERT_TRUE(acdbRegApp("LNKHOLD", &db));
    acdbHostApplicationServices()->setWorkingDatabase(&db);
    addLayer(db, "NEW");
    ASSERT_EQ(addMarkerBlock(db), Acad::eOk);
    acdbHostApplicationServices()->setWorkingDatabase(nullptr);
    AcDbBlockTableRecord* model = nullptr;
    ASSERT_EQ(acdbOpenObject(model, dbtest::blockId(db, "*Model_Space"), AcDb::kForWrite),
              Acad::eOk);
    // New entities take the current layer unless they were given one.
    for (const char* layer : {"", "0"}) {
        auto* reference =
            new AcDbBlockReference(AcGePoint3d(1, 2, 0), dbtest::blockId(db, "$LNKHOLD$"));
        if (*layer) {
            ASSERT_EQ(reference->setLayer(layer), Acad::eOk);
        }
        ASSERT_EQ(model->appendAcDbEntity(reference), Acad::eOk);
        EXPECT_EQ(reference->blockTableRecord(), dbtest::blockId(db, "$LNKHOLD$"));
        reference->close();
    }
    model->close();
    ASSERT_EQ(db.saveAs(path.c_str()), Acad::eOk);

    std::string report = dxftest::ezdxfReport(path);
    EXPECT_THAT(report, HasSubstr("\"audit_errors\": []"));
    EXPECT_THAT(report, HasSubstr("\"NEW\"]"));  // ezdxf adds Defpoints when reading
    EXPECT_THAT(report, HasSubstr("\"points\": 200"));
    EXPECT_THAT(report, HasSubstr("\"modelspace\": [{\"layer\": \"NEW\", \"name\": \"$LNKHOLD$\", "
                                  "\"type\": \"INSERT\"}, {\"layer\": \"0\", \"name\": "
                                  "\"$LNKHOLD$\", \"type\": \"INSERT\"}]"));
}

TEST(DbSave, EntitiesAddedToPaperSpaceAreMarkedAsPaperSpaceInEveryRelease) {
    // Counts the INSERTs of DOOR in a saved file that carry 67 = 1, whatever else tells their
    // space (R12 drawings have no owner handles).
    auto doorsMarkedPaper = [](const std::filesystem::path& path) {
        const auto saved = cadhost::dxf::Document::load(path);
        int count = 0;
        for (auto id = saved.first(); id != cadhost::dxf::kNoRecord; id = saved.next(id)) {
            const auto tags = saved.tags(id);
            auto has = [&](int code, std::string_view value) {
                return std::any_of(tags.begin(), tags.end(), [&](const auto& tag) {
                    return tag.code == code && tag.value == value;
                });
            };
            count += saved.type(id) == "INSERT" && has(2, "DOOR") && has(67, "1") ? 1 : 0;
        }
        return count;
    };
    auto paperSpaceOf = [](AcDbDatabase& db) {  // ezdxf names it "$Paper_Space" in R12
        return dbtest::blockId(db, "*Paper_Space").isNull() ? "$Paper_Space" : "*Paper_Space";
    };
    for (const char* name : {"ezdxf_R12.dxf", "ezdxf_R2000.dxf", "ezdxf_R2018_binary.dxf"}) {
        SCOPED_TRACE(name);
        Drawing drawing(name);
        AcDbDatabase& db = *drawing.db;
        const int before = doorsMarkedPaper(drawing.path);
        AcDbBlockTableRecord* paper = nullptr;
        ASSERT_EQ(acdbOpenObject(paper, dbtest::blockId(db, paperSpaceOf(db)), AcDb::kForWrite),
                  Acad::eOk);
        auto* reference = new AcDbBlockReference(AcGePoint3d(3, 4, 0), dbtest::blockId(db, "DOOR"));
        ASSERT_EQ(paper->appendAcDbEntity(reference), Acad::eOk);
        reference->close();
        paper->close();
        ASSERT_EQ(db.save(), Acad::eOk);

        EXPECT_EQ(doorsMarkedPaper(drawing.path), before + 1);
        const std::string report = dxftest::ezdxfReport(drawing.path);
        EXPECT_THAT(report, HasSubstr("\"audit_errors\": []"));
        EXPECT_THAT(report, HasSubstr("\"paperspace\": [{\"layer\": \"0\", \"name\": \"DOOR\", "
                                      "\"type\": \"INSERT\"}"));
        AcDbDatabase reread(false);
        ASSERT_EQ(reread.readDxfFile(drawing.path.c_str()), Acad::eOk);
        EXPECT_FALSE(dbtest::entityOfType(reread, paperSpaceOf(reread), "INSERT").isNull());
    }
}

TEST(DbSave, R14DrawingsTakeLightweightPolylinesAndR13DrawingsRefuseThemUnchanged) {
    // The ezdxf R2000 fixture relabelled: R13 and R14 drawings have the same records for what
    // this touches; only the release decides whether a lightweight polyline may be written.
    for (const char* release : {"AC1014", "AC1012"}) {
        SCOPED_TRACE(release);
        Drawing source("ezdxf_R2000.dxf");
        std::string bytes = dxftest::readBytes(source.path);
        const auto at = bytes.find("AC1015");
        ASSERT_NE(at, std::string::npos);
        bytes.replace(at, 6, release);
        const auto path = source.dir.path() / "relabelled.dxf";
        dxftest::writeBytes(path, bytes);
        AcDbDatabase db(false);
        ASSERT_EQ(db.readDxfFile(path.c_str()), Acad::eOk);

        AcDbBlockTableRecord* model = nullptr;
        ASSERT_EQ(acdbOpenObject(model, dbtest::blockId(db, "*Model_Space"), AcDb::kForWrite),
                  Acad::eOk);
        auto* polyline = new AcDbPolyline;
        for (unsigned int i = 0; i < 3; ++i) {
            ASSERT_EQ(polyline->addVertexAt(i, AcGePoint2d(i, 2.0 * i), 0.5), Acad::eOk);
        }
        const Acad::ErrorStatus es = model->appendAcDbEntity(polyline);
        model->close();
        if (std::string(release) == "AC1012") {
            EXPECT_EQ(es, Acad::eIncompatibleRelease);
            EXPECT_THAT(db.lastMessage(), HasSubstr("R13"));
            delete polyline;
            ASSERT_EQ(db.save(), Acad::eOk);
            EXPECT_EQ(dxftest::readBytes(path), bytes);
            continue;
        }
        ASSERT_EQ(es, Acad::eOk);
        const AcDbObjectId id = polyline->objectId();
        polyline->close();
        ASSERT_EQ(db.save(), Acad::eOk);
        EXPECT_NE(dxftest::readBytes(path).find("LWPOLYLINE"), std::string::npos);

        AcDbDatabase reread(false);
        ASSERT_EQ(reread.readDxfFile(path.c_str()), Acad::eOk);
        AcDbObjectId backId;
        ASSERT_EQ(reread.getAcDbObjectId(backId, false, id.handle()), Acad::eOk);
        AcDbPolyline* back = nullptr;
        ASSERT_EQ(acdbOpenObject(back, backId, AcDb::kForRead), Acad::eOk);
        EXPECT_EQ(back->numVerts(), 3u);
        AcGePoint2d last;
        ASSERT_EQ(back->getPointAt(2, last), Acad::eOk);
        EXPECT_EQ(last, AcGePoint2d(2, 4));
        double bulge = 0;
        ASSERT_EQ(back->getBulgeAt(1, bulge), Acad::eOk);
        EXPECT_EQ(bulge, 0.5);
        back->close();
    }
}

// A save killed halfway leaves its new file behind; the next save of that drawing removes what
// saves by processes that are gone left, and nothing else: not the files of a save that still
// runs, nor those of another drawing.
TEST(DbSave, TheNextSaveRemovesWhatKilledSavesOfTheDrawingLeftBehind) {
    testsupport::TempDir dir;
    const std::filesystem::path plan = dir.path() / "plan.dxf";
    const auto write = [](const std::filesystem::path& path, const std::string& bytes) {
        cadhost::dxf::writeFileAtomically(path, [&](const auto& sink) { sink(bytes); });
    };
    write(plan, "old");
    const pid_t child = ::fork();
    if (child == 0) {
        cadhost::dxf::writeFileAtomically(plan, [](const auto& sink) {
            sink(std::string(std::size_t{4} << 20, 'x'));
            ::raise(SIGKILL);
        });
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::vector<std::filesystem::path> killed = cadhost::dxf::saveTemporaries(plan, child);
    ASSERT_TRUE(std::filesystem::exists(killed[0]));
    std::ofstream(killed[1]) << "old";  // as if killed while it kept the backup
    const std::filesystem::path running = cadhost::dxf::saveTemporaries(plan, ::getppid())[0];
    const std::filesystem::path otherDrawing =
        cadhost::dxf::saveTemporaries(dir.path() / "plan.dxf.old", child)[0];
    std::ofstream(running) << "in progress";
    std::ofstream(otherDrawing) << "not this drawing's";

    write(plan, "new");
    EXPECT_FALSE(std::filesystem::exists(killed[0]));
    EXPECT_FALSE(std::filesystem::exists(killed[1]));
    EXPECT_TRUE(std::filesystem::exists(running));
    EXPECT_TRUE(std::filesystem::exists(otherDrawing));
    std::ifstream saved(plan);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), "new");
}

}  // namespace
