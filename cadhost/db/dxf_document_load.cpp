// Reading: one pass over the file's tags that checks its structure and cuts it into records.

#include <algorithm>
#include <optional>
#include <string>

#include "cadhost/db/background_read.h"
#include "cadhost/db/dxf_cut_ahead.h"
#include "cadhost/db/dxf_record.h"
#include "cadhost/db/dxf_repair.h"
#include "cadhost/db/dxf_tag_reader.h"

namespace cadhost::dxf {
namespace {

std::string detectLineEnd(std::string_view data, bool binary) {
    std::size_t newline = binary ? std::string_view::npos : data.find('\n');
    return newline != std::string_view::npos && newline > 0 && data[newline - 1] == '\r' ? "\r\n"
                                                                                         : "\n";
}

// Files at least this large are read on a second thread while they are cut into records.
constexpr std::uint64_t kReadAlongsideBytes = std::uint64_t{4} << 20;

// Thrown while cutting a file that arrives when reading it ended before its end.
struct ReadEndedEarly {};

std::string shown(std::string_view name) {
    return "'" + std::string(name.substr(0, 40)) + "'";
}

}  // namespace

Document Document::load(const std::filesystem::path& path) {
    try {
        OpenFile file = openForReading(path);
        if (file.size >= kReadAlongsideBytes) {
            return readAlongside(file, path);
        }
        return parse(readAll(file, path));
    } catch (const DxfError& error) {
        if (error.place() == DxfError::Place::None) {
            throw;  // file system errors name the file already
        }
        throw error.inFile(path.string());
    }
}

Document Document::readAlongside(OpenFile& file, const std::filesystem::path& path) {
    Document doc;
    doc.bytes_ = allocateLargeBytes(file.size);
    doc.size_ = file.size;
    CutAhead ahead(std::string_view(doc.bytes_.get(), file.size));
    BackgroundRead reading(file.fd.get(), doc.bytes_.get(), file.size, [&ahead] { ahead.cut(); });
    bool cut = false;
    try {
        doc.readStructure(&reading, &ahead);
        cut = true;
    } catch (const DxfError&) {
        // A damaged file, mended or reported below as any file is.
    } catch (const ReadEndedEarly&) {
        // Reading failed or the file shrank, which reading to the end shows below.
    }
    ahead.abandon();
    int error = 0;
    const std::uint64_t got = reading.finish(error);
    if (error != 0) {
        throw readError(path, error);
    }
    if (cut && got == file.size) {
        return doc;
    }
    return parse(FileBytes{std::move(doc.bytes_), got});
}

Document Document::fromBytes(std::string bytes) {
    FileBytes file{allocateLargeBytes(bytes.size()), bytes.size()};
    bytes.copy(file.data.get(), bytes.size());
    return parse(std::move(file));
}

Document Document::parse(FileBytes file) {
    Document doc;
    doc.bytes_ = std::move(file.data);
    doc.size_ = file.size;
    try {
        doc.readStructure();
        return doc;
    } catch (const DxfError& error) {
        // A damaged structure is mended where other programs mend it; the original bytes are
        // kept for an unchanged save. Damage of another kind is reported as found.
        std::string_view data(doc.bytes_.get(), doc.size_);
        std::uint64_t start = 0;
        if (detectEncoding(data, start).binary) {
            throw;
        }
        std::optional<RepairedText> repaired =
            repairStructure(data, start, detectLineEnd(data, false));
        if (!repaired) {
            throw;
        }
        Document mended;
        mended.originalBytes_ = std::move(doc.bytes_);
        mended.originalSize_ = doc.size_;
        mended.size_ = repaired->bytes.size();
        mended.bytes_ = allocateLargeBytes(mended.size_);
        repaired->bytes.copy(mended.bytes_.get(), mended.size_);
        mended.repairs_ = std::move(repaired->repairs);
        try {
            mended.readStructure();
        } catch (const DxfError&) {
            throw error;
        }
        return mended;
    }
}

void Document::readStructure(BackgroundRead* arriving, CutAhead* ahead) {
    Document& doc = *this;
    // While the file arrives, the bytes are read only where they have arrived: kLookAhead
    // bytes from the next tag hold it whole, however long its lines may be.
    constexpr std::uint64_t kLookAhead = 2 * (kMaxLineBytes + 1) + 64;
    std::uint64_t arrived = doc.size_;
    auto awaitBytes = [&](std::uint64_t upTo) {
        const std::uint64_t wanted = std::min(upTo, doc.size_);
        arrived = arriving->waitFor(wanted);
        if (arrived < wanted) {
            throw ReadEndedEarly{};
        }
    };
    if (arriving) {
        awaitBytes(kLookAhead);
    }
    const std::string_view data(doc.bytes_.get(), doc.size_);
    std::uint64_t start = 0;
    Encoding encoding = detectEncoding(data, start);
    // A first line longer than what has arrived is too long for any file: the first tag fails
    // to read, whatever line end is taken here.
    doc.codec_ = TagCodec(encoding, detectLineEnd(data.substr(0, arrived), encoding.binary),
                          Codepage::utf8());
    doc.prologueEnd_ = doc.epilogueBegin_ = doc.size_;

    doc.records_.expect(doc.size_ / kLeastRecordBytes);
    TagReader reader(data, encoding, start, doc.size_);
    RawTag tag;
    Record* current = nullptr;
    RecordKeys keys("");
    std::uint16_t section = 0;
    std::uint16_t table = 0;
    std::string* pendingName = nullptr;  // a SECTION or TABLE waiting for its group-2 name
    bool inHeader = false;
    bool keyed = false;  // header variables have no handle or owner
    bool sawEof = false;
    std::uint64_t maxHandle = 0;
    auto closeCurrent = [&](std::uint64_t end) {
        if (current) {
            current->end = end;
            current->handle = keys.handle();
            current->owner = keys.owner();
            maxHandle = std::max(maxHandle, keys.handle());
        }
    };

    // Entity and object bodies go through the quick loop for text tags, which takes the tags
    // that need no checks but for the keys.
    bool quickBody = false;
    auto readQuickly = [&] {
        reader.nextUsualTags([&keys](int code, std::string_view value) { keys.add(code, value); },
                             arrived);
    };

    // Adds the record that begins at `begin` after the last one, in the section and table
    // reading is in, as the current record.
    auto append = [&](std::uint64_t begin, std::string_view type) -> Record& {
        const auto id = static_cast<RecordId>(doc.records_.size());
        Record& record = doc.records_.add();
        record.begin = begin;
        record.fileType = type;
        record.section = section;
        record.table = table;
        record.previous = doc.last_;
        if (current) {
            current->next = id;  // the current record is the last
        } else {
            doc.first_ = id;
        }
        doc.last_ = id;
        current = &record;
        return record;
    };

    // Takes over a run of records that the second thread cut from where reading is now: the
    // same records this loop would make of them, in the section and table it is in.
    auto takeOver = [&](const CutAhead::Run& run) {
        closeCurrent(run.begin);
        const std::uint64_t past = run.first + run.count;
        for (std::uint64_t i = run.first; i < past; ++i) {
            const CutAhead::Record& cut = ahead->record(i);
            Record& record =
                append(cut.begin, data.substr(cut.begin + cut.typeOffset, cut.typeSize));
            record.end = i + 1 < past ? ahead->record(i + 1).begin : run.end;
            record.handle = cut.handle;
            record.owner = cut.owner;
            maxHandle = std::max(maxHandle, cut.handle);
        }
        keys = run.lastKeys;
        reader.skipTo(run.end, reader.line() + run.lines);
    };

    for (;;) {
        if (reader.position() + kLookAhead > arrived && arrived < doc.size_) {
            awaitBytes(reader.position() + kLookAhead);
        }
        if (ahead) {
            ahead->reportProgress(reader.position());
            if (reader.position() >= ahead->nextRunBegin()) {
                // Runs hold plain records only: outside HEADER, inside a section, and with no
                // section or table waiting for its name, a record begins here as in the run.
                const CutAhead::Run* run = ahead->runAt(reader.position());
                if (run && section && !inHeader && !pendingName &&
                    doc.records_.size() + run->count < kNoRecord - 1) {
                    takeOver(*run);
                    continue;
                }
            }
        }
        if (!reader.next(tag)) {
            break;
        }
        if (tag.code != 0 && !(inHeader && tag.code == 9)) {
            if (!current) {
                if (tag.code == 999) {
                    continue;  // a comment before the first section
                }
                throw reader.errorAt(tag, "expected group code 0 (SECTION), found group code " +
                                              std::to_string(tag.code));
            }
            if (pendingName) {
                if (tag.code != 2) {
                    throw reader.errorAt(tag, "section or table without a name (group code 2)");
                }
                *pendingName = trimType(tag.value);
                inHeader = section && doc.sections_[section - 1].name == "HEADER" && !table;
                pendingName = nullptr;
            }
            if (current->fileType == "ENDSEC" || current->fileType == "ENDTAB") {
                throw reader.errorAt(tag, "group code " + std::to_string(tag.code) + " after " +
                                              std::string(current->fileType));
            }
            if (keyed) {
                keys.add(tag.code, tag.value);
            }
            if (quickBody) {
                readQuickly();  // on after a tag of another shape
            }
            continue;
        }
        if (pendingName) {
            throw reader.errorAt(tag, "section or table without a name (group code 2)");
        }
        std::string_view type = trimType(tag.value);
        auto id = static_cast<RecordId>(doc.records_.size());
        if (doc.records_.size() >= kNoRecord - 1) {
            throw reader.errorAt(tag, "too many records");
        }
        bool closesSection = false;
        bool closesTable = false;
        bool endOfFile = false;
        if (tag.code == 0) {
            auto where = [&] {
                return section ? " inside section " + doc.sections_[section - 1].name : "";
            };
            if (type == "SECTION") {
                if (section) {
                    throw reader.errorAt(tag, "SECTION" + where() + " (ENDSEC missing)");
                }
                doc.sections_.push_back(Range{"", id, kNoRecord});
                section = static_cast<std::uint16_t>(doc.sections_.size());
                pendingName = &doc.sections_.back().name;
            } else if (type == "ENDSEC") {
                if (!section) {
                    throw reader.errorAt(tag, "ENDSEC outside a section");
                }
                if (table) {
                    throw reader.errorAt(tag, "ENDSEC inside table " + doc.tables_[table - 1].name +
                                                  " (ENDTAB missing)");
                }
                doc.sections_[section - 1].end = id;
                closesSection = true;
            } else if (type == "TABLE") {
                if (!section || table) {
                    throw reader.errorAt(tag, table ? "TABLE inside table " +
                                                          doc.tables_[table - 1].name +
                                                          " (ENDTAB missing)"
                                                    : "TABLE outside a section");
                }
                doc.tables_.push_back(Range{"", id, kNoRecord});
                table = static_cast<std::uint16_t>(doc.tables_.size());
                pendingName = &doc.tables_.back().name;
            } else if (type == "ENDTAB") {
                if (!table) {
                    throw reader.errorAt(tag, "ENDTAB outside a table");
                }
                doc.tables_[table - 1].end = id;
                closesTable = true;
            } else if (type == "EOF") {
                if (section) {
                    throw reader.errorAt(tag, "EOF" + where() + " (ENDSEC missing)");
                }
                endOfFile = true;
            } else if (!section) {
                throw reader.errorAt(tag, shown(type) + " outside a section");
            }
            if (doc.sections_.size() >= 0xFFFF || doc.tables_.size() >= 0xFFFF) {
                throw reader.errorAt(tag, "too many sections or tables");
            }
        }

        closeCurrent(tag.begin);
        if (!current) {
            doc.prologueEnd_ = tag.begin;
        }
        append(tag.begin, type);
        keys = RecordKeys(type);
        keyed = tag.code == 0;
        if (tag.code == 9) {
            doc.header_.emplace(std::string(type), id);
        }
        if (closesSection) {
            section = 0;
            inHeader = false;
        }
        if (closesTable) {
            table = 0;
        }
        if (endOfFile) {
            closeCurrent(reader.position());  // bytes after EOF are kept, never parsed
            doc.epilogueBegin_ = reader.position();
            sawEof = true;
            break;
        }
        quickBody = keyed && !encoding.binary && !inHeader && !pendingName && !closesSection &&
                    !closesTable;
        if (quickBody) {
            readQuickly();
        }
    }
    if (!sawEof) {
        throw reader.errorAtEnd(section ? "file ends inside section " +
                                              doc.sections_[section - 1].name +
                                              " (ENDSEC and EOF missing)"
                                        : "file ends without EOF");
    }
    doc.nextHandle_ = maxHandle + 1;
    doc.finishLoading();
}

void Document::finishLoading() {
    sectionRevisions_.assign(sections_.size(), 0);
    tableRevisions_.assign(tables_.size(), 0);
    auto seed = headerString("$HANDSEED");
    handseed_ = seed ? parseHandle(*seed).value_or(0) : 0;
    nextHandle_ = std::max(nextHandle_, handseed_);
    std::string release = version();
    Codepage codepage = release >= "AC1021"
                            ? Codepage::utf8()
                            : Codepage::fromDwgCodepage(headerString("$DWGCODEPAGE").value_or(""));
    codec_ = TagCodec(codec_.encoding(), codec_.lineEnd(), std::move(codepage));
}

}  // namespace cadhost::dxf
