// The document's edit rules: handles, header variables, table counts, code pages, saving.

#include "cadhost/db/dxf_document.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cadhost/db/dxf_error.h"
#include "dxf_test_support.h"
#include "support/temp_prefix.h"

namespace {

using cadhost::dxf::Document;
using cadhost::dxf::DxfError;
using cadhost::dxf::kNoRecord;
using cadhost::dxf::RecordId;
using cadhost::dxf::Tag;
using testing::HasSubstr;

const std::string kSmall =
    "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  9\n$HANDSEED\n  5\n20\n"
    "  0\nENDSEC\n"
    "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLAYER\n  5\n2\n 70\n1\n"
    "  0\nLAYER\n  5\n10\n  2\n0\n 70\n0\n  0\nENDTAB\n  0\nENDSEC\n"
    "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  5\n3A\n  8\n0\n  0\nCIRCLE\n  5\n3B\n  8\n0\n"
    "  0\nENDSEC\n  0\nEOF\n";

RecordId firstOfType(const Document& doc, std::string_view type) {
    for (RecordId id = doc.first(); id != kNoRecord; id = doc.next(id)) {
        if (doc.type(id) == type) {
            return id;
        }
    }
    return kNoRecord;
}

TEST(DxfDocument, EditsThatWouldBreakTheFileAreRefusedAndChangeNothing) {
    Document doc = Document::fromBytes(kSmall);
    RecordId line = firstOfType(doc, "LINE");
    auto entities = *doc.section("ENTITIES");
    auto header = *doc.section("HEADER");
    std::vector<std::function<void()>> edits = {
        [&] { doc.replaceTags(line, {}); },
        [&] { doc.replaceTags(line, {Tag::text(8, "0")}); },
        [&] {
            doc.replaceTags(line, {Tag::text(0, "LINE"), Tag::text(0, "LINE")});
        },
        [&] {
            doc.replaceTags(line, {Tag::text(0, "LINE"), Tag::text(1, "two\nlines")});
        },
        [&] {
            doc.replaceTags(line, {Tag::text(0, "LINE"), Tag::text(1072, "x")});
        },
        [&] {
            doc.replaceTags(line, {Tag::text(0, "LINE"), Tag::text(5, "3B")});
        },
        [&] { doc.replaceTags(line, {Tag::text(0, "ENDSEC")}); },
        [&] { doc.replaceTags(entities.begin, {Tag::text(0, "LINE")}); },
        [&] {
            doc.insertBefore(line, {Tag::text(0, "TABLE"), Tag::text(2, "X")});
        },
        [&] { doc.insertBefore(entities.begin, {Tag::text(0, "LINE")}); },
        [&] { doc.insertAfter(entities.end, {Tag::text(0, "LINE")}); },
        [&] { doc.insertBefore(header.end, {Tag::text(0, "LINE")}); },
        [&] { doc.erase(entities.end); },
        [&] { doc.erase(doc.table("LAYER")->begin); },
        [&] { doc.erase(9999); },
    };
    for (std::size_t i = 0; i < edits.size(); ++i) {
        EXPECT_THROW(edits[i](), DxfError) << "edit " << i;
    }
    EXPECT_FALSE(doc.isModified());
    EXPECT_TRUE(doc.toBytes() == kSmall);
}

TEST(DxfDocument, BinaryDocumentsRefuseValuesTheirTypeCannotHold) {
    Document doc = Document::load(dxftest::ezdxfFixtureFolder() / "ezdxf_R2018_binary.dxf");
    RecordId line = firstOfType(doc, "LINE");
    std::vector<Tag> tags = doc.tags(line);
    for (const auto& [code, value] : std::vector<std::pair<int, std::string>>{
             {10, "1,5"}, {62, "40000"}, {90, "x"}, {290, "300"}, {310, "ABC"}}) {
        std::vector<Tag> bad = tags;
        bad.push_back(Tag{code, value});
        EXPECT_THROW(doc.replaceTags(line, bad), DxfError) << code;
    }
    // A value that fits is written in binary and read back as the same text.
    tags.push_back(Tag::real(1040, 0.1));
    tags.push_back(Tag::integer(1071, -70000));
    doc.replaceTags(line, tags);
    Document reread = Document::fromBytes(doc.toBytes());
    EXPECT_EQ(reread.tags(firstOfType(reread, "LINE")), tags);
}

TEST(DxfDocument, NewHandlesLieAboveTheSeedAndEveryHandleAndMoveTheSeed) {
    Document doc = Document::fromBytes(kSmall);  // $HANDSEED 20 is below the entities' 3A, 3B
    EXPECT_TRUE(doc.toBytes() == kSmall) << "an unchanged file keeps even a stale seed";
    std::uint64_t handle = doc.allocateHandle();
    EXPECT_EQ(handle, 0x3Cu);
    RecordId line = firstOfType(doc, "LINE");
    doc.insertAfter(line, {Tag::text(0, "POINT"), Tag::handle(5, 0x50), Tag::text(8, "0")});
    EXPECT_EQ(doc.allocateHandle(), 0x51u);
    EXPECT_EQ(doc.type(doc.findHandle(0x50)), "POINT");
    Document saved = Document::fromBytes(doc.toBytes());
    EXPECT_EQ(saved.headerString("$HANDSEED"), "52");

    doc.erase(doc.findHandle(0x50));
    EXPECT_EQ(doc.findHandle(0x50), kNoRecord);
    doc.insertAfter(line, {Tag::text(0, "POINT"), Tag::handle(5, 0x50)});  // free again
}

TEST(DxfDocument, HeaderVariablesAreReadSetAndAdded) {
    Document doc = Document::fromBytes(kSmall);
    EXPECT_EQ(doc.version(), "AC1015");
    EXPECT_EQ(doc.headerString("$PROJECTNAME"), std::nullopt);
    doc.setHeaderVariable("$ACADVER", {Tag::text(1, "AC1018")});
    EXPECT_EQ(doc.version(), "AC1018");
    doc.setHeaderVariable("$PROJECTNAME", {Tag::text(1, "Bridge")});
    doc.setHeaderVariable("$EXTMIN", {Tag::real(10, 1), Tag::real(20, 2), Tag::real(30, 3)});

    Document reread = Document::fromBytes(doc.toBytes());
    EXPECT_EQ(reread.version(), "AC1018");
    EXPECT_EQ(reread.headerString("$PROJECTNAME"), "Bridge");
    EXPECT_EQ(reread.headerValues("$EXTMIN"),
              (std::vector<Tag>{Tag::real(10, 1), Tag::real(20, 2), Tag::real(30, 3)}));
    EXPECT_EQ(reread.sectionName(reread.headerVariable("$EXTMIN")), "HEADER");

    // A variable renamed or erased is found under its new name only.
    doc.replaceTags(doc.headerVariable("$PROJECTNAME"), {Tag::text(9, "$HYPERLINKBASE")});
    EXPECT_EQ(doc.headerVariable("$PROJECTNAME"), kNoRecord);
    doc.erase(doc.headerVariable("$HYPERLINKBASE"));
    EXPECT_EQ(doc.headerVariable("$HYPERLINKBASE"), kNoRecord);
    doc.setHeaderVariable("$PROJECTNAME", {Tag::text(1, "Tunnel")});
    EXPECT_EQ(Document::fromBytes(doc.toBytes()).headerString("$PROJECTNAME"), "Tunnel");

    doc.erase(doc.headerVariable("$ACADVER"));
    EXPECT_EQ(doc.version(), "AC1009");

    Document headless = Document::fromBytes("  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n  0\nEOF\n");
    EXPECT_EQ(headless.version(), "AC1009");
    EXPECT_THROW(headless.setHeaderVariable("$CLAYER", {Tag::text(8, "0")}), DxfError);
}

TEST(DxfDocument, TableEntryCountFollowsInsertsAndErasures) {
    Document doc = Document::fromBytes(kSmall);
    auto layers = *doc.table("LAYER");
    auto count = [&] {
        for (const Tag& tag : doc.tags(layers.begin)) {
            if (tag.code == 70) {
                return tag.asInteger().value();
            }
        }
        return std::int64_t{-1};
    };
    RecordId a = doc.insertBefore(layers.end, {Tag::text(0, "LAYER"), Tag::text(2, "A")});
    RecordId b = doc.insertAfter(a, {Tag::text(0, "LAYER"), Tag::text(2, "B")});
    EXPECT_EQ(doc.tableName(b), "LAYER");
    EXPECT_EQ(count(), 3);
    doc.erase(a);
    EXPECT_EQ(count(), 2);
    // Outside the table's markers a record is in the section but in no table.
    RecordId outside = doc.insertAfter(layers.end, {Tag::text(0, "NOTE")});
    EXPECT_EQ(doc.tableName(outside), "");
    EXPECT_EQ(doc.sectionName(outside), "TABLES");
    EXPECT_EQ(count(), 2);
}

TEST(DxfDocument, EachSectionAndTableCountsTheEditsOfItsOwnRecords) {
    Document doc = Document::fromBytes(kSmall);
    const auto layers = *doc.table("LAYER");
    const RecordId header = doc.section("HEADER")->begin;
    const RecordId tables = doc.section("TABLES")->begin;
    const RecordId entities = doc.section("ENTITIES")->begin;
    const RecordId line = firstOfType(doc, "LINE");
    EXPECT_EQ(doc.sectionOf(line), entities);
    EXPECT_EQ(doc.tableOf(line), kNoRecord);
    EXPECT_EQ(doc.sectionOf(layers.begin), tables);
    EXPECT_EQ(doc.tableOf(layers.end), layers.begin);
    EXPECT_THROW(doc.revisionWithin(line), DxfError);

    // Which of HEADER, TABLES, the LAYER table and ENTITIES an edit counts in.
    auto counted = [&](auto edit) {
        const std::vector<RecordId> scopes{header, tables, layers.begin, entities};
        std::vector<std::uint64_t> before;
        for (RecordId scope : scopes) {
            before.push_back(doc.revisionWithin(scope));
        }
        edit();
        std::vector<bool> changed;
        for (std::size_t i = 0; i < scopes.size(); ++i) {
            changed.push_back(doc.revisionWithin(scopes[i]) != before[i]);
        }
        return changed;
    };
    using Changed = std::vector<bool>;
    EXPECT_EQ(counted([&] {
                  doc.replaceTags(line, {Tag::text(0, "LINE"), Tag::text(8, "A")});
              }),
              (Changed{false, false, false, true}));
    RecordId layer = kNoRecord;
    EXPECT_EQ(counted([&] {
                  layer = doc.insertBefore(layers.end, {Tag::text(0, "LAYER"), Tag::text(2, "A")});
              }),
              (Changed{false, true, true, false}));
    EXPECT_EQ(counted([&] { doc.erase(layer); }), (Changed{false, true, true, false}));
    EXPECT_EQ(counted([&] { doc.insertAfter(layers.end, {Tag::text(0, "NOTE")}); }),
              (Changed{false, true, false, false}));
    EXPECT_EQ(counted([&] { doc.setHeaderVariable("$CLAYER", {Tag::text(8, "A")}); }),
              (Changed{true, false, false, false}));
}

TEST(DxfDocument, TextTheCodePageCannotHoldIsWrittenAsUnicodeEscapes) {
    Document doc = Document::load(dxftest::ezdxfFixtureFolder() / "ezdxf_R2000_cp1251.dxf");
    RecordId text = firstOfType(doc, "TEXT");
    std::vector<Tag> tags = doc.tags(text);
    for (Tag& tag : tags) {
        if (tag.code == 1) {
            tag.value = "Слой ✓";
        }
    }
    doc.replaceTags(text, tags);
    std::string bytes = doc.toBytes();
    EXPECT_THAT(bytes, HasSubstr("\n\xD1\xEB\xEE\xE9 \\U+2713\n"));
    Document reread = Document::fromBytes(bytes);
    EXPECT_THAT(reread.tags(firstOfType(reread, "TEXT")),
                testing::Contains(Tag::text(1, "Слой ✓")));
}

TEST(DxfDocument, SavingReplacesTheFileAtomicallyAndKeepsTheOldOneAsBak) {
    testsupport::TempDir dir;
    auto path = dir.path() / "drawing.dxf";
    dxftest::writeBytes(path, kSmall);
    dxftest::writeBytes(dir.path() / "drawing.dxf.bak", "an older backup");
    ::chmod(path.c_str(), 0640);

    Document doc = Document::load(path);
    doc.save(path);  // unchanged: the same bytes
    EXPECT_TRUE(dxftest::readBytes(path) == kSmall);
    doc.erase(firstOfType(doc, "CIRCLE"));
    doc.save(path);
    EXPECT_THAT(dxftest::readBytes(path), testing::Not(HasSubstr("CIRCLE")));
    EXPECT_TRUE(dxftest::readBytes(dir.path() / "drawing.dxf.bak") == kSmall);
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_THAT(entry.path().filename().string(), testing::Not(HasSubstr(".tmp-")));
        ++files;
    }
    EXPECT_EQ(files, 2u);

    // Where the new file cannot be written, the old one stays as it was.
    auto missing = dir.path() / "no-such-folder" / "drawing.dxf";
    EXPECT_THROW(doc.save(missing), DxfError);
    EXPECT_THROW(Document::load(missing), DxfError);
    EXPECT_THROW(Document::load(dir.path()), DxfError);
}

TEST(DxfDocument, LoadErrorsNameTheFile) {
    testsupport::TempDir dir;
    auto path = dir.path() / "broken.dxf";
    dxftest::writeBytes(path, "  0\nSECTION\n  2\nENTITIES\nxx\n");
    try {
        Document::load(path);
        FAIL() << "loaded a broken file";
    } catch (const DxfError& error) {
        EXPECT_EQ(std::string(error.what()), path.string() + ": line 5: invalid group code 'xx'");
    }
}

}  // namespace
