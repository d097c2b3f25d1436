// Large drawings: the records' store, and a drawing of several megabytes read, edited and
// written as a small one is; group codes in every spelling writers use.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <string>
#include <vector>

#include "cadhost/db/background_read.h"
#include "cadhost/db/block_store.h"
#include "cadhost/db/dxf_document.h"
#include "cadhost/db/dxf_error.h"
#include "cadhost/db/dxf_tag_reader.h"
#include "dxf_test_support.h"
#include "platform/file_descriptor.h"
#include "support/temp_prefix.h"

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
    // With small first blocks, and with a first block for about as many objects as come.
    for (const std::uint64_t expected : {std::uint64_t{0}, std::uint64_t{200'000}}) {
        BlockStore<Counted> store;
        store.expect(expected);
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
        store = BlockStore<Counted>();
        EXPECT_EQ(Counted::alive, 0);
    }
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

// Entity bodies in every shape a file may give them, amid bodies of the common shape and far
// from the end of the file as well as near it: each record's handle, owner and bytes come out
// as the file has them, and a fault in a body is placed on its line.
TEST(DxfLargeDrawing, EntityBodiesReadAlikeInEveryShape) {
    struct Shape {
        std::string body;  // the tags after "0 LINE"
        std::uint64_t handle;
        std::uint64_t owner;
    };
    const std::string longText(300, 'x');
    const std::vector<Shape> shapes = {
        {"  5\nA1\n330\n1F\n  8\n0\n", 0xA1, 0x1F},
        {"  5\nA2\n102\n{ACAD_REACTORS\n330\n77\n102\n}\n330\n2F\n", 0xA2, 0x2F},
        {"5\nA3\n330\n3F\n8\nWALLS\n", 0xA3, 0x3F},
        {"005\nA4\n 330 \n4F\n", 0xA4, 0x4F},
        {"  1\n" + longText + "\n  5\nA5\n330\n5F\n", 0xA5, 0x5F},
        {"  1\n\n  1\n \n  5\nA6\n330\n6F\n", 0xA6, 0x6F},
        {"  5\n A7 \n330\n+7F\n", 0xA7, 0x7F},
        {"  5\na8\n330\n8f\n", 0xA8, 0x8F},
        {"  5\n10000000000000000\n330\n9F\n", 0, 0x9F},  // too large: no handle
        {"  1\nabc\r\n  5\nAA\n330\nAF\n", 0xAA, 0xAF},
    };
    std::string entities;
    for (const Shape& shape : shapes) {
        entities += "  0\nLINE\n" + shape.body;
    }
    const std::string filler = "  0\nLINE\n  5\nFF\n  1\n" + std::string(2000, 'f') + "\n";
    const std::string lf =
        "  0\nSECTION\n  2\nENTITIES\n" + entities + filler + entities + "  0\nENDSEC\n  0\nEOF\n";
    std::string crlf;
    for (char c : lf) {
        crlf += c == '\n' ? "\r\n" : std::string(1, c);
    }
    for (const std::string& bytes : {lf, crlf}) {
        const bool isCrlf = &bytes == &crlf;
        Document doc = Document::fromBytes(bytes);
        EXPECT_EQ(doc.toBytes(), bytes);
        RecordId id = doc.next(doc.section("ENTITIES")->begin);
        for (int copy = 0; copy < 2; ++copy) {
            for (const Shape& shape : shapes) {
                EXPECT_EQ(doc.handle(id), shape.handle) << shape.body << " crlf " << isCrlf;
                EXPECT_EQ(doc.owner(id), shape.owner) << shape.body << " crlf " << isCrlf;
                id = doc.next(id);
            }
            EXPECT_EQ(doc.handle(id), copy == 0 ? 0xFFu : 0u);  // the filler, then ENDSEC
            id = doc.next(id);
        }
    }
    // A bad group code after a run of common tags, far from the end: line 3 of the third
    // shape's body ("330" spelled "3 0").
    std::string bad = lf;
    const std::size_t at = bad.find("330\n3F");
    bad.replace(at, 3, "3 0");
    const auto line =
        static_cast<std::uint64_t>(std::count(bad.begin(), bad.begin() + at, '\n')) + 1;
    try {
        Document::fromBytes(bad);
        ADD_FAILURE() << "read a bad group code without error";
    } catch (const DxfError& error) {
        EXPECT_EQ(error.position(), line) << error.what();
    }
    // A binary file is never read as text, though its bytes may look like it: here the bytes
    // of a group code out of range are "123" followed by a line end.
    const std::string binary = std::string(cadhost::dxf::kBinarySentinel) +
                               std::string("\0\0SECTION\0\x02\0ENTITIES\0\0\0LINE\0", 28) +
                               "123\nvalue\n" + std::string(600, ' ');
    try {
        Document::fromBytes(binary);
        ADD_FAILURE() << "read a binary group code out of range without error";
    } catch (const DxfError& error) {
        EXPECT_EQ(error.position(), 50u) << error.what();
        EXPECT_THAT(error.what(), testing::HasSubstr("out of range"));
    }
}

// Large files are read on a second thread while they are cut into records: the result is the
// file's, as from its bytes in memory, whatever the file holds and wherever a fault lies.
TEST(DxfLargeDrawing, AFileReadAlongsideReadsAsItsBytesDo) {
    testsupport::TempDir dir;
    const std::string drawing = drawingOf(120'000);  // about 6 MB
    std::string crlf;
    for (char c : drawing) {
        crlf += c == '\n' ? "\r\n" : std::string(1, c);
    }
    std::string badCode = drawing;
    badCode.replace(badCode.rfind("  8\n0\n"), 3, "8x8");
    const std::string longFirstLine =
        std::string(cadhost::dxf::kMaxLineBytes + 5, ' ') + "0\n" + drawing;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"plain", drawing},
        {"crlf", crlf},
        {"bytes after EOF", drawing + std::string(3 << 20, 'z')},
        {"no EOF (mended)", drawing.substr(0, drawing.rfind("  0\nEOF\n"))},
        {"bad group code near the end", badCode},
        {"first line too long", longFirstLine},
    };
    for (const auto& [name, bytes] : files) {
        dxftest::expectFileReadsAsItsBytes(dir.path() / "drawing.dxf", bytes, name);
    }
}

// The second thread's reading, when the file is shorter than expected or cannot be read.
TEST(DxfLargeDrawing, ReadingThatEndsEarlyIsReported) {
    testsupport::TempDir dir;
    const std::string bytes(3 << 20, 'q');
    const auto path = dir.path() / "file";
    std::ofstream(path, std::ios::binary) << bytes;
    platform::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(fd.valid());
    for (const std::uint64_t expected : {bytes.size(), bytes.size() + 4096}) {
        std::string into(expected, '\0');
        cadhost::dxf::BackgroundRead reading(fd.get(), into.data(), expected);
        EXPECT_GE(reading.waitFor(1000), 1000u);
        EXPECT_EQ(reading.waitFor(expected), bytes.size());  // a shrunk file ends early
        int error = -1;
        EXPECT_EQ(reading.finish(error), bytes.size());
        EXPECT_EQ(error, 0);
        EXPECT_EQ(into.substr(0, bytes.size()), bytes);
    }
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    platform::FileDescriptor readEnd(ends[0]), writeEnd(ends[1]);
    std::string into(100, '\0');
    cadhost::dxf::BackgroundRead reading(readEnd.get(), into.data(), into.size());
    EXPECT_EQ(reading.waitFor(10), 0u);
    int error = 0;
    EXPECT_EQ(reading.finish(error), 0u);
    EXPECT_EQ(error, ESPIPE);
}

}  // namespace
