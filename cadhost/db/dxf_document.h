#pragma once
// A DXF drawing held as records over the file's own bytes, for lossless reading and writing.
//
// A record runs from a group-0 tag to the next one: an entity, an object, a table entry, a
// class, a section or table marker. In the HEADER section each variable (a group-9 tag and its
// values) is a record of its own. Records are read without copying or converting their values;
// an unchanged record is written back as its original bytes, so a document saved without
// changes is the same file byte for byte. A changed or new record holds decoded tags and is
// written in the document's own encoding (ASCII with the file's line end, or binary) and code
// page.
//
// Record ids stay valid for the life of the document, also across inserts and erases.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cadhost/db/block_store.h"
#include "cadhost/db/dxf_file.h"
#include "cadhost/db/dxf_tag.h"
#include "cadhost/db/dxf_tag_codec.h"

namespace cadhost::dxf {

using RecordId = std::uint32_t;
inline constexpr RecordId kNoRecord = 0xFFFFFFFFu;

// A section (SECTION .. ENDSEC) or a symbol table (TABLE .. ENDTAB): its name and the records
// of its opening and closing markers.
struct Range {
    std::string name;
    RecordId begin = kNoRecord;
    RecordId end = kNoRecord;
};

class BackgroundRead;
class CutAhead;

class Document {
  public:
    // Reads a whole DXF file; throws DxfError naming the line (or byte offset) of a fault.
    static Document load(const std::filesystem::path& path);
    static Document fromBytes(std::string bytes);

    Document(Document&&) noexcept;
    Document& operator=(Document&&) noexcept;
    ~Document();

    // --- the file's format
    bool isBinary() const { return codec_.encoding().binary; }
    const std::string& lineEnd() const { return codec_.lineEnd(); }
    std::string version() const;  // $ACADVER, "AC1009" when the header lacks it
    const Codepage& codepage() const { return codec_.codepage(); }

    // --- records in file order
    RecordId first() const { return first_; }
    RecordId next(RecordId id) const;
    RecordId previous(RecordId id) const;

    // Group-0 value ("LINE", "LAYER", "SECTION"), or the variable name for header records.
    // Types are ASCII names; stray non-ASCII bytes are left as the file stores them.
    std::string_view type(RecordId id) const;
    std::uint64_t handle(RecordId id) const;  // group 5 (105 for DIMSTYLE); 0: none
    std::uint64_t owner(RecordId id) const;   // first 330 outside a 102 group; 0: none
    // The section ("ENTITIES") and, inside TABLES, the table ("LAYER") the record is in.
    std::string_view sectionName(RecordId id) const;
    std::string_view tableName(RecordId id) const;
    std::vector<Tag> tags(RecordId id) const;
    // True for records changed or added since the document was read.
    bool isRewritten(RecordId id) const;
    bool isModified() const { return modified_; }
    // What was mended when a damaged file was read ("line 12: ..."); empty for a sound file.
    // Saved unchanged, a mended file is written as it was read; after a change, mended.
    const std::vector<std::string>& repairs() const { return repairs_; }
    // Counts the edits since the document was read: equal counts mean unchanged content.
    std::uint64_t revision() const { return revision_; }
    // The SECTION and the TABLE record that open the section and the table the record is in
    // (a marker is in the section or table it opens or closes); kNoRecord outside any.
    RecordId sectionOf(RecordId id) const;
    RecordId tableOf(RecordId id) const;
    // Counts the edits of the records in the section or table that `marker` (a SECTION or
    // TABLE record) opens: equal counts mean those records are unchanged, whatever changed
    // elsewhere.
    std::uint64_t revisionWithin(RecordId marker) const;

    RecordId findHandle(std::uint64_t handle) const;
    std::optional<Range> section(std::string_view name) const;
    std::optional<Range> table(std::string_view name) const;

    // --- header variables ($ACADVER, $HANDSEED, $CLAYER ...)
    RecordId headerVariable(std::string_view name) const;
    // The variable's tags after its group-9 name tag; empty when absent.
    std::vector<Tag> headerValues(std::string_view name) const;
    std::optional<std::string> headerString(std::string_view name) const;
    // Replaces the variable's values, or adds the variable at the end of the HEADER section.
    void setHeaderVariable(std::string_view name, const std::vector<Tag>& values);

    // --- edits; each throws DxfError and changes nothing when it cannot be done
    // A record starts with its group-0 tag (a group-9 tag in HEADER). Section and table
    // markers cannot be added or erased, and keep their type when replaced. A handle must
    // not belong to another record.
    void replaceTags(RecordId id, std::vector<Tag> tags);
    // A record inserted next to `position` joins its section and table; table entries keep
    // the table's entry count (group 70 of TABLE) up to date.
    RecordId insertBefore(RecordId position, std::vector<Tag> tags);
    RecordId insertAfter(RecordId position, std::vector<Tag> tags);
    // Puts an erased record back after `position`: the same record where it can be (the same
    // section and table), so that with the tags the file holds it is written as the file has
    // it; else a new record as insertAfter() makes.
    RecordId reinsertAfter(RecordId position, RecordId erased, std::vector<Tag> tags);
    void erase(RecordId id);
    // A handle above $HANDSEED and every handle in the document; $HANDSEED follows on write.
    std::uint64_t allocateHandle();
    // What the edits since a point leave behind besides the records: the handles they used and
    // the mark that the document was changed. Once every such edit has been undone, restoring
    // them makes the document write what it wrote at that point.
    struct EditMarks {
        std::uint64_t nextHandle = 0;
        bool modified = false;
    };
    EditMarks editMarks() const { return {nextHandle_, modified_}; }
    void restoreEditMarks(const EditMarks& marks);

    // --- output
    void write(const ByteSink& sink);
    std::string toBytes();
    // Atomic: writes a temporary file beside `path`, keeps the old file as <path>.bak.
    void save(const std::filesystem::path& path);

  private:
    struct Record;

    Document();
    static Document parse(FileBytes file);
    // Reads a large file on a second thread while the first cuts it into records.
    static Document readAlongside(OpenFile& file, const std::filesystem::path& path);
    // Cuts bytes_ into records, checking the structure; throws DxfError at a fault. With
    // `arriving`, the bytes are still being read into bytes_; with `ahead`, a second thread
    // cuts runs of records further on, which are taken over where they fit.
    void readStructure(BackgroundRead* arriving = nullptr, CutAhead* ahead = nullptr);
    void finishLoading();
    const Record& record(RecordId id) const;
    Record& record(RecordId id);
    void validate(const std::vector<Tag>& tags, std::uint16_t section, RecordId replacing) const;
    // A record given back the tags the file holds for it is written as the file has it.
    void setTags(RecordId id, std::vector<Tag> tags);
    bool matchesFile(const Record& r, const std::vector<Tag>& tags) const;
    void countEdit(const Record& r);
    void forgetHeaderName(RecordId id);
    RecordId insert(RecordId after, RecordId before, std::uint16_t section, std::uint16_t table,
                    std::vector<Tag> tags);
    void adjustTableCount(std::uint16_t table, int delta);
    void syncHandseed();
    void buildHandleIndex() const;
    void writeRecords(const ByteSink& sink) const;

    LargeBytes bytes_;  // the file as read (or mended); records point into it
    std::uint64_t size_ = 0;
    // A damaged file as read, when bytes_ holds it mended; written back while unchanged.
    LargeBytes originalBytes_;
    std::uint64_t originalSize_ = 0;
    std::vector<std::string> repairs_;
    std::uint64_t prologueEnd_ = 0;    // sentinel, byte order mark, leading comments
    std::uint64_t epilogueBegin_ = 0;  // whatever follows the EOF tag
    TagCodec codec_;
    BlockStore<Record> records_;
    RecordId first_ = kNoRecord;
    RecordId last_ = kNoRecord;
    std::vector<Range> sections_;  // record section/table fields index these, plus one
    std::vector<Range> tables_;
    // Each table's entry count as counted on from the file's value, below zero too (a file's
    // count may be short), so that additions and removals that cancel out give the file's
    // value back; by table index, set at its first change.
    std::vector<std::optional<std::int64_t>> tableCounts_;
    std::map<std::string, RecordId, std::less<>> header_;
    std::uint64_t handseed_ = 0;    // as read
    std::uint64_t nextHandle_ = 1;  // above every handle seen
    bool modified_ = false;
    std::uint64_t revision_ = 0;
    std::vector<std::uint64_t> sectionRevisions_;  // parallel to sections_
    std::vector<std::uint64_t> tableRevisions_;    // parallel to tables_
    // $ACADVER as last read; every look-up by name asks for it, so it is not decoded each time.
    mutable std::optional<std::string> version_;
    mutable std::unordered_map<std::uint64_t, RecordId> handles_;  // built on first need
    mutable bool handlesIndexed_ = false;
};

}  // namespace cadhost::dxf
