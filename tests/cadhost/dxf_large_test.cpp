// Large drawings: the records' store, and a drawing of several megabytes read, edited and
// written as a small one is; group codes in every spelling writers use.

#include <gtest/gtest.h>

#include <string>

#include "cadhost/db/block_store.h"
#include "cadhost/db/dxf_document.h"
#include "cadhost/db/dxf_error.h"

namespace {

using cadhost::dxf::BlockStore;
using cadhost::dxf::Document;
using cadhost::dxf::DxfError;
using cadhost::dxf::RecordId;
using cadhost::dxf::Tag;

struct Counted {
    static inline int alive = 0;
    Counted() { ++alive; }
    ~Counted() { --alive; }
    std::uint64_t value = 0;
};

TEST(DxfBlockStore, ObjectsStayWhereTheyAreAndLeaveOnce) {
    {
        BlockStore<Counted> store;
        Counted* first = &store.add();
        first->value = 7;
        // Enough objects for blocks of a huge page and more.
        constexpr std::uint64_t kCount = 300'000;
        for (std::uint64_t i = 1; i < kCount; ++i) {
            store.add().value = i * 3;
        }
        EXPECT_EQ(store.size(), kCount);
        EXPECT_EQ(Counted::alive, static_cast<int>(kCount));
        EXPECT_EQ(&store[0], first);
        EXPECT_EQ(first->value, 7u);
        for (std::uint64_t i = 1; i < kCount; i += 997) {
            EXPECT_EQ(store[i].value, i * 3) << i;
        }
        EXPECT_EQ(store[kCount - 1].value, (kCount - 1) * 3);

        BlockStore<Counted> moved(std::move(store));
        EXPECT_EQ(moved.size(), kCount);
        EXPECT_EQ(store.size(), 0u);  // NOLINT(bugprone-use-after-move): moved from, empty
        EXPECT_EQ(&moved[0], first);
        store = std::move(moved);
        EXPECT_EQ(store[kCount - 1].value, (kCount - 1) * 3);
        EXPECT_EQ(Counted::alive, static_cast<int>(kCount));
    }
    EXPECT_EQ(Counted::alive, 0);
}

// A drawing of `lines` LINEs in ENTITIES, handles from 100 on.
std::string drawingOf(int lines, const std::string& code0 = "  0") {
    std::string bytes = code0 + "\nSECTION\n  2\nHEADER\n  9\n$HANDSEED\n  5\nFFFFF\n" + code0 +
                        "\nENDSEC\n" + code0 + "\nSECTION\n  2\nENTITIES\n";
    for (int i = 0; i < lines; ++i) {
        bytes += code0 + "\nLINE\n  5\n" + cadhost::dxf::formatHandle(100 + i) + "\n  8\n0\n 10\n" +
                 std::to_string(i) + ".5\n 11\n2.25\n";
    }
    return bytes + code0 + "\nENDSEC\n" + code0 + "\nEOF\n";
}

TEST(DxfLargeDrawing, ReadsEditsAndWritesAsASmallOneDoes) {
    constexpr int kLines = 120'000;  // about 6 MB
    const std::string bytes = drawingOf(kLines);
    Document doc = Document::fromBytes(bytes);
    const auto entities = *doc.section("ENTITIES");
    int count = 0;
    for (RecordId id = doc.next(entities.begin); id != entities.end; id = doc.next(id)) {
        ++count;
    }
    EXPECT_EQ(count, kLines);
    EXPECT_EQ(doc.toBytes(), bytes);

    const RecordId last = doc.findHandle(100 + kLines - 1);
    ASSERT_NE(last, cadhost::dxf::kNoRecord);
    EXPECT_EQ(doc.type(last), "LINE");
    std::vector<Tag> tags = doc.tags(last);
    EXPECT_EQ(tags[3], Tag::text(10, std::to_string(kLines - 1) + ".5"));
    tags.push_back(Tag::text(1001, "ACAD"));
    doc.replaceTags(last, tags);
    EXPECT_EQ(doc.type(last), "LINE");
    const RecordId added = doc.insertAfter(last, {Tag::text(0, "POINT"), Tag::handle(5, 90)});
    EXPECT_EQ(doc.type(added), "POINT");
    EXPECT_EQ(doc.findHandle(90), added);
    doc.erase(added);
    tags.pop_back();
    doc.replaceTags(last, tags);  // the file's own tags: written as the file has them
    EXPECT_EQ(doc.toBytes(), bytes);
}

TEST(DxfLargeDrawing, GroupCodesReadAlikeInEverySpelling) {
    const std::string canonical = drawingOf(3);
    for (const std::string code0 : {"0", "000", "  0 ", "0\t", "  0\r"}) {
        std::string bytes = drawingOf(3, code0);
        Document doc = Document::fromBytes(bytes);
        EXPECT_EQ(doc.toBytes(), bytes) << code0;
        EXPECT_NE(doc.findHandle(102), cadhost::dxf::kNoRecord) << code0;
        EXPECT_EQ(doc.type(doc.findHandle(102)), "LINE") << code0;
    }
    // Three characters that are not blanks then digits go the slow way, with its answers.
    for (const std::string bad : {"0 0", "1 0", " 0x", "a10"}) {
        std::string bytes = drawingOf(1);
        bytes.replace(bytes.find("  8\n0\n"), 3, bad);
        try {
            Document::fromBytes(bytes);
            ADD_FAILURE() << "read '" << bad << "' without error";
        } catch (const DxfError& error) {
            EXPECT_EQ(error.position(), 19u) << bad << ": " << error.what();
        }
    }
    std::string trailing = drawingOf(1);
    trailing.replace(trailing.find("  8\n0\n"), 3, "8  ");  // trailing blanks are allowed
    EXPECT_EQ(Document::fromBytes(trailing).toBytes(), trailing);
}

}  // namespace
