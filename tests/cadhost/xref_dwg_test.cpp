// DWG xrefs read through the helper process: real DWG drawings load as xrefs with their layers,
// blocks and model space, one helper serves a whole pass, and the helper's faults (no Node, no
// script, a crash, a hang, nonsense, a damaged file) fail one read with a reason and never take
// the host down.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>

#include "cadhost/db/database_state.h"
#include "cadhost/sdk/dbents.h"
#include "cadhost/xref/dwg_reader.h"
#include "cadhost/xref/xref_operations.h"
#include "db_test_support.h"
#include "dxf_test_support.h"
#include "platform/host_path.h"
#include "support/temp_prefix.h"
#include "xref_test_support.h"

namespace {

using cadhost::xref::DwgReader;
using testing::AllOf;
using testing::Contains;
using testing::HasSubstr;
using xreftest::loadedOf;
using xreftest::statusOf;

const std::filesystem::path kDwgData = std::filesystem::path(DXF_TEST_SOURCE_DIR) / "data/dwg";

// dwg_compare.py's report: the DXF drawing's block against the DWG drawing's model space as the
// DWG library reads it.
std::string compared(const std::filesystem::path& dxf, const std::string& block,
                     const std::filesystem::path& dwg) {
    int status = 0;
    std::string report = dxftest::runPython(
        "dwg_compare.py", {dxf.string(), block, dwg.string(), DWG_READER_DIR}, status);
    EXPECT_EQ(status, 0) << report;
    return report;
}

std::string runHost(const testsupport::TempPrefix& prefix, const std::string& script) {
    const std::filesystem::path file = prefix.scratch() / "session.scr";
    std::ofstream(file) << script;
    int status = 0;
    return dxftest::runCommand(std::string(CADHOST_PROGRAM) + " --prefix " +
                                   dxftest::shellQuote(prefix.root().string()) + " -b " +
                                   dxftest::shellQuote(file.string()) + " 2>&1",
                               status);
}

// The drawings of make_dwg_fixtures.py in a fresh prefix, the host drawing read with its xrefs.
struct DwgFixtures {
    DwgFixtures() : folder(prefix.scratch() / "drawings") {
        int status = 0;
        dxftest::runPython("make_dwg_fixtures.py", {folder.string(), kDwgData.string()}, status);
        if (status != 0) {
            throw std::runtime_error("make_dwg_fixtures.py failed");
        }
    }
    void open(const std::string& name = "host.dxf") {
        xrefs.reset();
        db = std::make_unique<AcDbDatabase>(false);
        if (db->readDxfFile((folder / name).c_str()) != Acad::eOk) {
            throw std::runtime_error("cannot read " + name);
        }
        xrefs = std::make_unique<cadhost::xref::DrawingXrefs>(
            *db, cadhost::xref::SearchPath{},
            [this](const std::string& text) { messages.push_back(text); });
        xrefs->update();
    }
    testsupport::TempPrefix prefix;
    std::filesystem::path folder;
    std::unique_ptr<AcDbDatabase> db;
    std::vector<std::string> messages;
    std::unique_ptr<cadhost::xref::DrawingXrefs> xrefs;
};

// The DXF types of a block's entities, counted.
std::map<std::string, int> entityTypes(AcDbDatabase& db, const char* block) {
    std::map<std::string, int> types;
    AcDbBlockTableRecord* record = nullptr;
    if (acdbOpenObject(record, dbtest::blockId(db, block), AcDb::kForRead) != Acad::eOk) {
        return types;
    }
    AcDbBlockTableRecordIterator* it = nullptr;
    record->newIterator(it);
    for (; !it->done(); it->step()) {
        AcDbEntity* entity = nullptr;
        if (it->getEntity(entity, AcDb::kForRead) == Acad::eOk) {
            ++types[entity->dxfType()];
            entity->close();
        }
    }
    delete it;
    record->close();
    return types;
}

bool hasLayer(AcDbDatabase& db, const char* name) {
    return !dbtest::layerId(db, name).isNull();
}

// A helper that is a shell script standing in for Node and our script.
DwgReader::Setup fakeHelper(const testsupport::TempDir& dir, const std::string& body,
                            std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const std::filesystem::path script = dir.path() / "helper.sh";
    std::ofstream(script) << body << "\n";
    return {"/bin/sh", script, limit};
}

TEST(DwgXrefs, RealDrawingsLoadWithTheirLayersBlocksAndModelSpace) {
    DwgFixtures fixtures;
    fixtures.open();
    AcDbDatabase& db = *fixtures.db;
    for (const char* name : {"ARC", "EXAMPLE", "DOOR", "LINE", "PLAIN", "CIRCLE"}) {
        EXPECT_EQ(statusOf(db, name), AcDb::kXrfResolved) << name;
    }
    EXPECT_EQ(statusOf(db, "DAMAGED"), AcDb::kXrfUnresolved);

    AcDbDatabase* example = loadedOf(db, "EXAMPLE");
    ASSERT_NE(example, nullptr);
    EXPECT_TRUE(example->state().fromDwg);
    EXPECT_TRUE(hasLayer(*example, "Tavolo 2"));
    EXPECT_TRUE(hasLayer(*example, "Tavolo 3"));
    EXPECT_FALSE(dbtest::blockId(*example, "bloko").isNull());
    EXPECT_FALSE(dbtest::blockId(*example, "CIRKLO_PUNKTOJ").isNull());
    // Model space as the library reads it (63 entities), less the types the host does not
    // take from DWG drawings, which are named.
    const auto types = entityTypes(*example, "*Model_Space");
    EXPECT_EQ(types.at("LINE"), 8);
    EXPECT_EQ(types.at("LWPOLYLINE"), 11);
    EXPECT_EQ(types.at("INSERT"), 19);  // 10, and 9 dimensions as their blocks
    EXPECT_EQ(types.at("TEXT"), 2);
    EXPECT_EQ(types.at("SPLINE"), 2);
    EXPECT_EQ(types.count("XLINE"), 0u);
    EXPECT_THAT(example->state().dwgLeftOut, AllOf(Contains("XLINE"), Contains("3DSOLID")));
    // The block the inserts use holds its entities.
    EXPECT_FALSE(entityTypes(*example, "bloko").empty());

    AcDbDatabase* door = loadedOf(db, "DOOR");
    ASSERT_NE(door, nullptr);
    EXPECT_TRUE(hasLayer(*door, "R-DOOR-OTLN"));
    EXPECT_EQ(entityTypes(*door, "*Model_Space"),
              (std::map<std::string, int>{{"LINE", 16}, {"TEXT", 1}}));
    EXPECT_TRUE(door->state().dwgLeftOut.empty());
    short month = 0, day = 0, year = 0;
    door->tdupdate().getDate(month, day, year);  // its own last update, as stored in it
    EXPECT_EQ(year, 1999);
    EXPECT_EQ(month, 11);

    // The DWG xref nested in a DXF xref was found beside it and loaded.
    AcDbDatabase* circle = loadedOf(db, "CIRCLE");
    ASSERT_NE(circle, nullptr);
    EXPECT_EQ(entityTypes(*circle, "*Model_Space"), (std::map<std::string, int>{{"CIRCLE", 1}}));

    // Only the damaged file has something to say, and it names the file.
    ASSERT_EQ(fixtures.messages.size(), 1u);
    EXPECT_THAT(fixtures.messages[0],
                AllOf(HasSubstr("DAMAGED"), HasSubstr("damaged.dwg"), HasSubstr("DWG library")));
}

TEST(DwgXrefs, WithoutNodeOrTheScriptTheyStayUnresolvedNamingWhatIsMissing) {
    DwgFixtures fixtures;
    struct Env {
        Env(const char* variable, const char* value) : name(variable) { setenv(name, value, 1); }
        ~Env() { unsetenv(name); }
        const char* name;
    };
    {
        Env node("CADHOST_NODE", "/nonexistent/node");
        fixtures.open();
        EXPECT_EQ(statusOf(*fixtures.db, "ARC"), AcDb::kXrfUnresolved);
        EXPECT_EQ(statusOf(*fixtures.db, "PLAIN"), AcDb::kXrfResolved);  // DXF: as before
        EXPECT_THAT(fixtures.messages,
                    Contains(AllOf(HasSubstr("arc.dwg"), HasSubstr("Node.js is not installed"),
                                   HasSubstr("/nonexistent/node"))));
    }
    fixtures.xrefs.reset();
    fixtures.messages.clear();
    {
        Env script("CADHOST_DWG_READER", "/nonexistent/dwg_reader.mjs");
        fixtures.open();
        EXPECT_EQ(statusOf(*fixtures.db, "LINE"), AcDb::kXrfUnresolved);
        EXPECT_THAT(fixtures.messages,
                    Contains(AllOf(HasSubstr("line.dwg"), HasSubstr("DWG reader is not installed"),
                                   HasSubstr("/nonexistent/dwg_reader.mjs"))));
    }
}

TEST(DwgXrefs, BindCopiesTheDrawingAsTheLibraryReadsItAndRefusesTypesItLeftOut) {
    DwgFixtures fixtures;
    fixtures.open();
    const std::filesystem::path before = fixtures.folder / "before.dxf";
    ASSERT_EQ(fixtures.db->saveAs(before.c_str()), Acad::eOk);  // with its nested record
    const std::string beforeBytes = dxftest::readBytes(before);
    fixtures.open("before.dxf");
    AcDbDatabase& db = *fixtures.db;

    // EXAMPLE holds XLINE, RAY, 3DSOLID ... which the reader leaves out: refused, unchanged.
    fixtures.messages.clear();
    EXPECT_EQ(bindXref(*fixtures.xrefs, "EXAMPLE", cadhost::xref::BindKind::Insert),
              Acad::eNotApplicable);
    EXPECT_THAT(fixtures.messages, Contains(AllOf(HasSubstr("EXAMPLE"), HasSubstr("XLINE"),
                                                  HasSubstr("3DSOLID"), HasSubstr("RAY"))));
    EXPECT_EQ(statusOf(db, "EXAMPLE"), AcDb::kXrfResolved);
    ASSERT_EQ(db.save(), Acad::eOk);
    EXPECT_EQ(dxftest::readBytes(before), beforeBytes);

    EXPECT_EQ(bindXref(*fixtures.xrefs, "DOOR", cadhost::xref::BindKind::Insert), Acad::eOk);
    EXPECT_EQ(bindXref(*fixtures.xrefs, "ARC", cadhost::xref::BindKind::Prefixed), Acad::eOk);
    EXPECT_EQ(statusOf(db, "DOOR"), AcDb::kXrfNotAnXref);
    const std::filesystem::path bound = fixtures.folder / "bound.dxf";
    ASSERT_EQ(db.saveAs(bound.c_str()), Acad::eOk);
    const std::string door = compared(bound, "DOOR", kDwgData / "r14-v.dwg");
    EXPECT_THAT(door, HasSubstr(R"("audit_errors": [], "compared": {"LINE": 16, "TEXT": 1}, )"
                                R"("differences": [])"));
    const std::string arc = compared(bound, "ARC", kDwgData / "2013-Arc.dwg");
    EXPECT_THAT(arc, HasSubstr(R"("audit_errors": [], "compared": {"ARC": 1}, )"
                               R"("differences": [])"));
}

TEST(DwgXrefs, OpenedDwgIsReadOnlyAndSavesAsDxfOnly) {
    testsupport::TempPrefix prefix;
    const std::filesystem::path dwg = prefix.scratch() / "example.dwg";
    std::filesystem::copy_file(kDwgData / "example_2000.dwg", dwg);
    const std::string dwgBytes = dxftest::readBytes(dwg);
    const std::filesystem::path dxf = prefix.scratch() / "example.dxf";
    // SAVE asks for a name, as for any read-only drawing; the DWG file's own is refused.
    const std::string output =
        runHost(prefix, "OPEN\n" + dwg.string() + "\nSAVE\n" + dwg.string() + "\nQUIT\n") +
        runHost(prefix, "OPEN\n" + dwg.string() + "\nSAVEAS\n" + dxf.string() + "\nQUIT\n");
    EXPECT_THAT(output, HasSubstr("is a DWG drawing: it is open read-only and can be saved as "
                                  "DXF only"));
    EXPECT_THAT(output, AllOf(HasSubstr("Not read from it"), HasSubstr("XLINE")));
    EXPECT_THAT(output, HasSubstr("saved as DXF only (give a name ending in .dxf)"));
    EXPECT_EQ(dxftest::readBytes(dwg), dwgBytes);  // SAVE did not write DXF into the DWG file
    ASSERT_TRUE(std::filesystem::exists(dxf)) << output;
    // Every entity of the types the reader takes, as the library reads it, and ezdxf-clean.
    const std::string report = compared(dxf, "*Model_Space", kDwgData / "example_2000.dwg");
    EXPECT_THAT(report, HasSubstr(R"("audit_errors": [], )"));
    EXPECT_THAT(report, HasSubstr(R"("differences": [])"));
    EXPECT_THAT(report, HasSubstr(R"("compared": {"3DFACE": 2, "ARC": 2, "ATTDEF": 2, )"
                                  R"("DIMENSION": 9, "ELLIPSE": 1, "HATCH": 1, "INSERT": 10, )"
                                  R"("LINE": 8, "LWPOLYLINE": 11, "MTEXT": 1, "POINT": 1, )"
                                  R"("POLYLINE3D": 1, "SOLID": 1, "SPLINE": 2, "TEXT": 2})"));
}

TEST(DwgReader, OneProcessReadsManyDrawingsAndSurvivesTheLibrarysFaults) {
    // Read one after the other in one WebAssembly instance, the third of these fails in the
    // library; the helper reads it again in a fresh instance.
    DwgReader reader;
    for (const char* name :
         {"2004-circle.dwg", "2010-circle.dwg", "2013-Arc.dwg", "2018-Line.dwg", "r14-v.dwg"}) {
        std::string reason;
        const auto drawing = reader.read(kDwgData / name, reason);
        ASSERT_TRUE(drawing) << name << ": " << reason;
        EXPECT_THAT(drawing->dxf, AllOf(HasSubstr("ENTITIES"), HasSubstr("EOF")));
    }
    // A file the library rejects and one that is not there fail alone.
    std::string reason;
    EXPECT_FALSE(reader.read("/etc/hostname", reason));
    EXPECT_THAT(reason, HasSubstr("cannot read it"));
    EXPECT_FALSE(reader.read("/nonexistent.dwg", reason));
    EXPECT_THAT(reason, HasSubstr("ENOENT"));
    EXPECT_TRUE(reader.read(kDwgData / "2013-Arc.dwg", reason)) << reason;
    EXPECT_EQ(reader.starts(), 1);
}

TEST(DwgReader, AHelperThatDiesHangsOrTalksNonsenseFailsThatReadAndIsReplaced) {
    testsupport::TempDir dir;
    std::string reason;
    {
        DwgReader crashing(fakeHelper(dir, "head -c 1 >/dev/null; exit 7"));
        EXPECT_FALSE(crashing.read("/any.dwg", reason));
        EXPECT_THAT(reason, HasSubstr("stopped (exit code 7)"));
        EXPECT_FALSE(crashing.read("/any.dwg", reason));
        EXPECT_EQ(crashing.starts(), 2);  // a fresh process for the next read
    }
    {
        DwgReader killed(fakeHelper(dir, "head -c 1 >/dev/null; kill -SEGV $$"));
        EXPECT_FALSE(killed.read("/any.dwg", reason));
        EXPECT_THAT(reason, HasSubstr("signal 11"));
    }
    {
        // Its answers end but the process lingers: stopped all the same.
        DwgReader lingering(fakeHelper(dir, "head -c 1 >/dev/null; exec 3>&-; exec sleep 60"));
        EXPECT_FALSE(lingering.read("/any.dwg", reason));
        EXPECT_THAT(reason, HasSubstr("stopped (killed by signal 9)"));
    }
    {
        const auto before = std::chrono::steady_clock::now();
        DwgReader hanging(fakeHelper(dir, "exec sleep 60", std::chrono::milliseconds(300)));
        EXPECT_FALSE(hanging.read("/any.dwg", reason));
        EXPECT_THAT(reason, HasSubstr("did not finish within 300 ms"));
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));
    }
    {
        // A length of about 1.9 GB: refused, not allocated.
        DwgReader nonsense(fakeHelper(dir, "printf 'garbage' >&3; exec cat >/dev/null"));
        EXPECT_FALSE(nonsense.read("/any.dwg", reason));
        EXPECT_THAT(reason, HasSubstr("nonsense"));
    }
    {
        // A well-framed answer of neither kind.
        DwgReader odd(fakeHelper(dir, "printf '\\003\\000\\000\\000abc' >&3; exec cat >/dev/null"));
        EXPECT_FALSE(odd.read("/any.dwg", reason));
        EXPECT_THAT(reason, HasSubstr("nonsense"));
    }
}

// Damaged DWG bytes, made from real drawings by seeded cuts, flipped bytes and overwritten runs:
// each read ends within the time limit with a drawing the host can read or with a reason, and
// the helper still reads a sound drawing afterwards.
TEST(DwgReader, DamagedDrawingsGiveADrawingOrAReasonAndNeverStopTheHost) {
    testsupport::TempDir dir;
    const auto limit = std::chrono::seconds(20);
    DwgReader reader({DwgReader::defaultSetup().node, DwgReader::defaultSetup().script, limit});
    int drawings = 0;
    int refused = 0;
    for (const char* name : {"r14-v.dwg", "2018-Line.dwg", "example_2000.dwg"}) {
        const std::string original = dxftest::readBytes(kDwgData / name);
        for (unsigned seed = 0; seed < 8; ++seed) {
            std::mt19937 random(seed);
            std::string bytes = original;
            auto at = [&](std::size_t size) {
                return std::uniform_int_distribution<std::size_t>(0, size - 1)(random);
            };
            switch (seed % 4) {
                case 0:  // cut short
                    bytes.resize(at(bytes.size()));
                    break;
                case 1:  // bytes flipped all over
                    for (int i = 0; i < 32; ++i) {
                        bytes[at(bytes.size())] ^= static_cast<char>(1 + at(255));
                    }
                    break;
                case 2:  // a run overwritten near the start, where the section map lies
                    for (std::size_t i = 0, from = 6 + at(250); i < 64 && from + i < bytes.size();
                         ++i) {
                        bytes[from + i] = static_cast<char>(at(256));
                    }
                    break;
                default:  // the release mark kept, the rest noise
                    for (std::size_t i = 6; i < bytes.size(); ++i) {
                        bytes[i] = static_cast<char>(at(256));
                    }
            }
            const std::filesystem::path file = dir.path() / "damaged.dwg";
            dxftest::writeBytes(file, bytes);
            std::string reason;
            const auto start = std::chrono::steady_clock::now();
            std::unique_ptr<AcDbDatabase> db = cadhost::xref::readDwgDatabase(file, reader, reason);
            EXPECT_LT(std::chrono::steady_clock::now() - start, limit + std::chrono::seconds(5));
            if (db) {
                ++drawings;
                EXPECT_FALSE(dbtest::blockId(*db, "*Model_Space").isNull()) << name << seed;
            } else {
                ++refused;
                EXPECT_FALSE(reason.empty()) << name << seed;
            }
        }
    }
    EXPECT_EQ(drawings + refused, 24);
    EXPECT_GT(refused, 0);
    std::string reason;
    EXPECT_TRUE(cadhost::xref::readDwgDatabase(kDwgData / "2013-Arc.dwg", reader, reason))
        << reason;
}

}  // namespace
