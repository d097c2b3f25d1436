// Fuzzes the DXF reader with ASCII and binary input, damaged structures included. Whatever
// reads (mended or not) must be written back byte for byte while unchanged, and a document
// whose records are all re-encoded from their decoded tags must read back, sound, with the same
// records and tags.

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "cadhost/db/dxf_document.h"
#include "cadhost/db/dxf_error.h"

namespace {

using cadhost::dxf::Document;
using cadhost::dxf::DxfError;
using cadhost::dxf::kNoRecord;
using cadhost::dxf::RecordId;
using cadhost::dxf::Tag;

bool isAscii(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Code page conversion may replace bytes invalid in the stored encoding, so only ASCII values
// must survive unchanged; codes and record order always must.
void expectSameRecords(const Document& a, const Document& b) {
    RecordId x = a.first();
    RecordId y = b.first();
    for (; x != kNoRecord && y != kNoRecord; x = a.next(x), y = b.next(y)) {
        check(!isAscii(std::string(a.type(x))) || a.type(x) == b.type(y));
        std::vector<Tag> tagsA = a.tags(x);
        std::vector<Tag> tagsB = b.tags(y);
        check(tagsA.size() == tagsB.size());
        for (std::size_t i = 0; i < tagsA.size(); ++i) {
            check(tagsA[i].code == tagsB[i].code);
            check(!isAscii(tagsA[i].value) || tagsA[i].value == tagsB[i].value);
        }
    }
    check(x == kNoRecord && y == kNoRecord);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::optional<Document> doc;
    try {
        doc.emplace(Document::fromBytes(bytes));
    } catch (const DxfError&) {
        return 0;
    }
    check(doc->toBytes() == bytes);

    for (RecordId id = doc->first(); id != kNoRecord; id = doc->next(id)) {
        try {
            doc->replaceTags(id, doc->tags(id));
        } catch (const DxfError&) {
            // values the encoding cannot write back (a CR inside a line) stay as they were
        }
    }
    Document again = Document::fromBytes(doc->toBytes());
    check(!doc->isModified() || again.repairs().empty());  // a changed save writes it mended
    expectSameRecords(*doc, again);
    return 0;
}
