// Cutting the back part of a file on a second thread: the runs of records it hands over are
// the records a reading from the front makes there, and a large file read by two threads is
// the file its bytes make, whatever its sections hold and wherever a fault lies.

#include "cadhost/db/dxf_cut_ahead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cadhost/db/dxf_document.h"
#include "cadhost/db/dxf_tag_reader.h"
#include "dxf_test_support.h"
#include "support/temp_prefix.h"

namespace {

using cadhost::dxf::CutAhead;
using cadhost::dxf::Document;
using cadhost::dxf::kNoRecord;
using cadhost::dxf::RecordId;

struct Drawing {
    std::string text;
    std::vector<std::uint64_t> begins;  // where each record begins, in file order
};

// A drawing with records of every kind in its back part, each section about `scale`
// hundred kilobytes: layers and dimension styles (handles in group 105) in tables, blocks
// with their entities, entities whose owner follows their reactors, objects.
Drawing variedDrawing(int scale) {
    Drawing d;
    std::uint64_t handle = 0x100;
    auto next = [&handle] { return cadhost::dxf::formatHandle(handle++); };
    auto record = [&d](const std::string& tags) {
        d.begins.push_back(d.text.size());
        d.text += tags;
    };
    auto line = [&](const std::string& owner, int i) {
        record("  0\nLINE\n  5\n" + next() + "\n102\n{ACAD_REACTORS\n330\nABC\n102\n}\n330\n" +
               owner + "\n100\nAcDbEntity\n  8\n0\n100\nAcDbLine\n 10\n" + std::to_string(i) +
               ".5\n 20\n0.0\n 30\n0.0\n 11\n2.25\n 21\n1.0\n 31\n0.0\n");
    };
    record("  0\nSECTION\n  2\nHEADER\n");
    record("  9\n$ACADVER\n  1\nAC1015\n");
    record("  9\n$HANDSEED\n  5\nFFFFFF\n");
    record("  0\nENDSEC\n");
    record("  0\nSECTION\n  2\nTABLES\n");
    record("  0\nTABLE\n  2\nLAYER\n  5\n2\n330\n0\n 70\n1\n");
    for (int i = 0; i < 1000 * scale; ++i) {
        record("  0\nLAYER\n  5\n" + next() + "\n330\n2\n100\nAcDbSymbolTableRecord\n  2\nL" +
               std::to_string(i) + "\n 70\n0\n 62\n7\n  6\nCONTINUOUS\n");
    }
    record("  0\nENDTAB\n");
    record("  0\nTABLE\n  2\nDIMSTYLE\n  5\nA\n330\n0\n 70\n1\n");
    for (int i = 0; i < 300 * scale; ++i) {
        record("  0\nDIMSTYLE\n105\n" + next() + "\n330\nA\n  2\nD" + std::to_string(i) +
               "\n 70\n0\n 41\n2.5\n");
    }
    record("  0\nENDTAB\n");
    record("  0\nENDSEC\n");
    record("  0\nSECTION\n  2\nBLOCKS\n");
    for (int b = 0; b < 150 * scale; ++b) {
        const std::string owner = next();
        record("  0\nBLOCK\n  5\n" + next() + "\n330\n" + owner + "\n  8\n0\n  2\nB" +
               std::to_string(b) + "\n 70\n0\n 10\n0.0\n 20\n0.0\n 30\n0.0\n");
        for (int i = 0; i < 3; ++i) {
            line(owner, i);
        }
        record("  0\nENDBLK\n  5\n" + next() + "\n330\n" + owner + "\n  8\n0\n");
    }
    record("  0\nENDSEC\n");
    record("  0\nSECTION\n  2\nENTITIES\n");
    for (int i = 0; i < 600 * scale; ++i) {
        line("1F", i);
    }
    record("  0\nENDSEC\n");
    record("  0\nSECTION\n  2\nOBJECTS\n");
    for (int i = 0; i < 800 * scale; ++i) {
        record("  0\nDICTIONARY\n  5\n" + next() +
               "\n102\n{ACAD_REACTORS\n330\nC\n102\n}\n330\nC\n100\nAcDbDictionary\n281\n1\n");
    }
    record("  0\nENDSEC\n");
    record("  0\nEOF\n");
    return d;
}

std::uint64_t lineAt(const std::string& text, std::uint64_t offset) {
    return 1 + static_cast<std::uint64_t>(std::count(text.begin(), text.begin() + offset, '\n'));
}

// The records that every run of `ahead` hands over, checked against `doc` read from the
// same text whose records begin at `begins`: a run's records are the document's records
// there, in order, and it ends where a marker (or a record it could not finish) begins.
// Returns how many records the runs hold, and `firstRun` where the first run begins.
std::uint64_t checkRuns(CutAhead& ahead, const Drawing& d, const Document& doc,
                        std::uint64_t& firstRun) {
    std::vector<RecordId> ids;
    for (RecordId id = doc.first(); id != kNoRecord; id = doc.next(id)) {
        ids.push_back(id);
    }
    EXPECT_EQ(ids.size(), d.begins.size());
    firstRun = ahead.nextRunBegin();
    std::uint64_t taken = 0;
    for (std::size_t i = 0; i < d.begins.size(); ++i) {
        if (d.begins[i] < ahead.nextRunBegin()) {
            continue;
        }
        const CutAhead::Run* run = ahead.runAt(d.begins[i]);
        if (!run) {
            continue;
        }
        EXPECT_GT(run->count, 0u);
        EXPECT_LT(i + run->count, ids.size()) << "a run ends where a record begins";
        for (std::uint64_t k = 0; k < run->count && i + k < ids.size(); ++k) {
            const CutAhead::Record& cut = ahead.record(run->first + k);
            const RecordId id = ids[i + k];
            EXPECT_EQ(cut.begin, d.begins[i + k]) << i + k;
            EXPECT_EQ(d.text.substr(cut.begin + cut.typeOffset, cut.typeSize), doc.type(id));
            EXPECT_EQ(cut.handle, doc.handle(id)) << doc.type(id) << " " << i + k;
            EXPECT_EQ(cut.owner, doc.owner(id)) << doc.type(id) << " " << i + k;
            EXPECT_FALSE(doc.sectionName(id).empty());
        }
        i += run->count;
        if (i < ids.size()) {
            EXPECT_EQ(run->end, d.begins[i]);
            EXPECT_EQ(run->lastKeys.handle(), doc.handle(ids[i - 1]));
            EXPECT_EQ(run->lines, lineAt(d.text, run->end) - lineAt(d.text, run->begin));
        }
        taken += run->count;
        --i;  // the record the run ends at may begin the next run
    }
    return taken;
}

TEST(DxfCutAhead, RunsHoldTheRecordsAReadingFromTheFrontMakes) {
    const Drawing d = variedDrawing(10);  // about 4 MB
    const Document doc = Document::fromBytes(d.text);
    const std::uint64_t size = d.text.size();
    // The first thread's progress: at the start, inside the layer table, inside BLOCKS.
    for (const std::uint64_t progress : {std::uint64_t{0}, size / 8, size / 3}) {
        CutAhead ahead(d.text);
        ahead.reportProgress(progress);
        ahead.cut();
        std::uint64_t firstRun = 0;
        const std::uint64_t taken = checkRuns(ahead, d, doc, firstRun);
        const std::uint64_t from = progress + (size - progress) / 2;
        ASSERT_GE(firstRun, from) << progress;
        EXPECT_LT(firstRun, from + 4096) << progress;
        // A sound file: every record from there on but the markers is handed over.
        std::uint64_t plain = 0;
        std::size_t i = 0;
        for (RecordId id = doc.first(); id != kNoRecord; id = doc.next(id), ++i) {
            plain += d.begins[i] >= firstRun && !cadhost::dxf::isMarker(doc.type(id));
        }
        EXPECT_EQ(taken, plain) << progress;
        EXPECT_GT(taken, 1000u);
    }
}

TEST(DxfCutAhead, NothingIsHandedOverPastAFaultOrWhereNothingPays) {
    Drawing d = variedDrawing(10);
    // A bad group code in a LINE of ENTITIES, in the back half.
    const std::uint64_t entities = d.text.find("ENTITIES");
    const std::uint64_t damaged =
        d.text.find("  8\n0\n", entities + (d.text.size() - entities) / 2);
    d.text.replace(damaged, 3, "8x8");
    const auto record = std::upper_bound(d.begins.begin(), d.begins.end(), damaged) - 1;
    CutAhead ahead(d.text);
    ahead.reportProgress(d.text.size() / 3);
    ahead.cut();
    std::uint64_t lastEnd = 0;
    bool anyRun = false;
    for (const std::uint64_t begin : d.begins) {
        if (begin < ahead.nextRunBegin()) {
            continue;
        }
        if (const CutAhead::Run* run = ahead.runAt(begin)) {
            anyRun = true;
            lastEnd = run->end;
            EXPECT_LE(run->end, *record);
        }
    }
    EXPECT_TRUE(anyRun);
    EXPECT_EQ(lastEnd, *record) << "the run stops where the damaged record begins";

    // Too little left, a binary file, a cutting given up before it began: nothing.
    CutAhead late(d.text);
    late.reportProgress(d.text.size() - 1'500'000);
    late.cut();
    EXPECT_EQ(late.nextRunBegin(), ~std::uint64_t{0});
    const std::string binary =
        std::string(cadhost::dxf::kBinarySentinel) + std::string(4 << 20, '\n');
    CutAhead ofBinary(binary);
    ofBinary.cut();
    EXPECT_EQ(ofBinary.nextRunBegin(), ~std::uint64_t{0});
    CutAhead abandoned(d.text);
    abandoned.abandon();
    abandoned.cut();
    EXPECT_EQ(abandoned.nextRunBegin(), ~std::uint64_t{0});
}

// Read from a file by two threads and from the same bytes by one: the same records, keys,
// sections, tables and tags, or the same fault on the same line.
TEST(DxfCutAhead, ADrawingReadByTwoThreadsIsTheDrawingOfItsBytes) {
    testsupport::TempDir dir;
    const Drawing d = variedDrawing(14);  // about 6 MB
    std::string damaged = d.text;
    damaged.replace(damaged.rfind("  8\n0\n"), 3, "8x8");
    std::string unnamed = d.text;  // a section without its name in the back part
    unnamed.erase(unnamed.find("  2\nOBJECTS\n"), 12);
    // A HEADER of nearly the whole file, with records of group 0 among its variables: there a
    // group-9 tag begins a record, which the second thread cannot know.
    std::string longHeader = "  0\nSECTION\n  2\nHEADER\n";
    for (int i = 0; longHeader.size() < (8u << 20); ++i) {
        longHeader += "  9\n$V" + std::to_string(i) + "\n 40\n1.5\n" +
                      (i % 7 == 0 ? "  0\nSTRAY\n  5\n" + std::to_string(i) + "\n" : "");
    }
    longHeader +=
        "  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  5\n1\n  0\nENDSEC\n  0\nEOF\n";
    const std::vector<std::pair<std::string, std::string>> files = {
        {"varied", d.text},
        {"bad group code near the end", damaged},
        {"unnamed", unnamed},
        {"long header", longHeader}};
    for (int attempt = 0; attempt < 3; ++attempt) {  // the threads meet at other places
        for (const auto& [name, bytes] : files) {
            dxftest::expectFileReadsAsItsBytes(dir.path() / "drawing.dxf", bytes, name);
        }
    }
}

}  // namespace
