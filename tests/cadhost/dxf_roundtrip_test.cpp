// Reading and writing back real drawings: from openscad-testing-data and from ezdxf.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cadhost/db/dxf_document.h"
#include "dxf_test_support.h"

namespace {

using cadhost::dxf::Document;
using cadhost::dxf::kNoRecord;
using cadhost::dxf::RecordId;
using cadhost::dxf::Tag;

std::vector<std::vector<Tag>> allTags(const Document& doc) {
    std::vector<std::vector<Tag>> records;
    for (RecordId id = doc.first(); id != kNoRecord; id = doc.next(id)) {
        records.push_back(doc.tags(id));
    }
    return records;
}

// Rewrites every record from its decoded tags, as if each had been changed.
void rewriteAll(Document& doc) {
    for (RecordId id = doc.first(); id != kNoRecord; id = doc.next(id)) {
        doc.replaceTags(id, doc.tags(id));
    }
}

void expectLosslessRoundTrip(const std::filesystem::path& path) {
    SCOPED_TRACE(path.string());
    std::string original = dxftest::readBytes(path);
    Document doc = Document::load(path);
    EXPECT_FALSE(doc.isModified());
    EXPECT_TRUE(doc.toBytes() == original) << "unchanged document not written byte for byte";
    ASSERT_TRUE(doc.section("ENTITIES"));

    // Every record re-encoded from its decoded tags reads back as the same tags.
    auto before = allTags(doc);
    rewriteAll(doc);
    std::string rewritten = doc.toBytes();
    EXPECT_EQ(allTags(Document::fromBytes(rewritten)), before);
}

TEST(DxfRoundTrip, OpenscadDrawingsAreWrittenBackByteForByte) {
    auto files = dxftest::openscadFiles();
    ASSERT_GE(files.size(), 30u) << "openscad-testing-data is not installed";
    for (const auto& path : files) {
        expectLosslessRoundTrip(path);
    }
}

TEST(DxfRoundTrip, EzdxfDrawingsOfEveryReleaseAndEncodingAreWrittenBackByteForByte) {
    auto files = dxftest::ezdxfFixtures();
    ASSERT_EQ(files.size(), 11u);
    for (const auto& path : files) {
        expectLosslessRoundTrip(path);
    }
}

TEST(DxfRoundTrip, RecordsEncodedAnewSpellTagsAsEzdxfDoes) {
    // Same group code layout, line ends and binary value encoding: a fully rewritten document
    // is the same file.
    for (const auto& path : dxftest::ezdxfFixtures()) {
        SCOPED_TRACE(path.string());
        Document doc = Document::load(path);
        rewriteAll(doc);
        EXPECT_TRUE(doc.toBytes() == dxftest::readBytes(path));
    }
}

TEST(DxfRoundTrip, CrLfFilesKeepTheirLineEndsAlsoInChangedRecords) {
    std::string lf = dxftest::readBytes(dxftest::ezdxfFixtureFolder() / "ezdxf_R2000.dxf");
    std::string crlf;
    for (char c : lf) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    Document doc = Document::fromBytes(crlf);
    EXPECT_EQ(doc.lineEnd(), "\r\n");
    EXPECT_TRUE(doc.toBytes() == crlf);
    rewriteAll(doc);
    EXPECT_TRUE(doc.toBytes() == crlf);
}

TEST(DxfRoundTrip, RecordsKnowTheirPlaceHandleAndOwner) {
    Document doc = Document::load(dxftest::ezdxfFixtureFolder() / "ezdxf_R2018.dxf");
    EXPECT_EQ(doc.version(), "AC1032");
    EXPECT_FALSE(doc.isBinary());
    auto layers = doc.table("LAYER");
    ASSERT_TRUE(layers);
    int layerCount = 0;
    for (RecordId id = doc.next(layers->begin); id != layers->end; id = doc.next(id)) {
        EXPECT_EQ(doc.type(id), "LAYER");
        EXPECT_EQ(doc.sectionName(id), "TABLES");
        EXPECT_EQ(doc.tableName(id), "LAYER");
        EXPECT_EQ(doc.owner(id), doc.handle(layers->begin));
        EXPECT_EQ(doc.findHandle(doc.handle(id)), id);
        ++layerCount;
    }
    EXPECT_EQ(layerCount, 4);  // 0, Defpoints, WALLS, Größe
    auto seed = doc.headerString("$HANDSEED");
    ASSERT_TRUE(seed);
    for (RecordId id = doc.first(); id != kNoRecord; id = doc.next(id)) {
        EXPECT_LT(doc.handle(id), cadhost::dxf::parseHandle(*seed).value());
    }

    // The LINE's owner is the model space block record, not the reactor inside its 102 group.
    auto entities = doc.section("ENTITIES");
    ASSERT_TRUE(entities);
    RecordId line = kNoRecord;
    for (RecordId id = entities->begin; id != entities->end; id = doc.next(id)) {
        if (doc.type(id) == "LINE") {
            line = id;
        }
    }
    ASSERT_NE(line, kNoRecord);
    EXPECT_EQ(doc.type(doc.findHandle(doc.owner(line))), "BLOCK_RECORD");
}

TEST(DxfRoundTrip, TextIsUtf8InTheApiWhateverTheFileStores) {
    auto layerNames = [](const Document& doc) {
        std::vector<std::string> names;
        auto layers = doc.table("LAYER");
        for (RecordId id = doc.next(layers->begin); id != layers->end; id = doc.next(id)) {
            for (const Tag& tag : doc.tags(id)) {
                if (tag.code == 2) {
                    names.push_back(tag.value);
                }
            }
        }
        return names;
    };
    const auto& folder = dxftest::ezdxfFixtureFolder();
    Document cyrillic = Document::load(folder / "ezdxf_R2000_cp1251.dxf");
    EXPECT_EQ(cyrillic.codepage().name(), "CP1251");
    EXPECT_THAT(layerNames(cyrillic), testing::Contains("Слой"));
    for (const char* name :
         {"ezdxf_R2000.dxf", "ezdxf_R2018.dxf", "ezdxf_R2018_binary.dxf", "ezdxf_R12_binary.dxf"}) {
        SCOPED_TRACE(name);
        EXPECT_THAT(layerNames(Document::load(folder / name)), testing::Contains("Größe"));
    }
}

}  // namespace
