#include "cadhost/db/dxf_document.h"

#include <algorithm>
#include <utility>

#include "cadhost/db/dxf_record.h"

namespace cadhost::dxf {

bool isMarker(std::string_view type) {
    return type == "SECTION" || type == "ENDSEC" || type == "TABLE" || type == "ENDTAB" ||
           type == "EOF";
}

std::string_view trimType(std::string_view value) {
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
        value.remove_suffix(1);
    }
    return value;
}

Document::Document() : codec_(Encoding{}, "\n", Codepage::utf8()) {}
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;
Document::~Document() = default;

const Document::Record& Document::record(RecordId id) const {
    if (id >= records_.size() || records_[id].erased) {
        throw DxfError("no record " + std::to_string(id) + " in the drawing");
    }
    return records_[id];
}

Document::Record& Document::record(RecordId id) {
    return const_cast<Record&>(std::as_const(*this).record(id));
}

std::string Document::version() const {
    if (!version_) {
        version_ = headerString("$ACADVER").value_or("AC1009");
    }
    return *version_;
}

RecordId Document::next(RecordId id) const {
    return record(id).next;
}
RecordId Document::previous(RecordId id) const {
    return record(id).previous;
}
std::string_view Document::type(RecordId id) const {
    return record(id).type();
}
std::uint64_t Document::handle(RecordId id) const {
    return record(id).handle;
}
std::uint64_t Document::owner(RecordId id) const {
    return record(id).owner;
}
bool Document::isRewritten(RecordId id) const {
    return record(id).tags != nullptr;
}

RecordId Document::sectionOf(RecordId id) const {
    std::uint16_t section = record(id).section;
    return section ? sections_[section - 1].begin : kNoRecord;
}

RecordId Document::tableOf(RecordId id) const {
    std::uint16_t table = record(id).table;
    return table ? tables_[table - 1].begin : kNoRecord;
}

std::uint64_t Document::revisionWithin(RecordId marker) const {
    const Record& r = record(marker);
    if (r.type() == "SECTION") {
        return sectionRevisions_[r.section - 1];
    }
    if (r.type() == "TABLE") {
        return tableRevisions_[r.table - 1];
    }
    throw DxfError("record " + std::to_string(marker) + " opens no section or table");
}

void Document::countEdit(const Record& r) {
    modified_ = true;
    ++revision_;
    if (r.section) {
        ++sectionRevisions_[r.section - 1];
        if (sections_[r.section - 1].name == "HEADER") {
            version_.reset();
        }
    }
    if (r.table) {
        ++tableRevisions_[r.table - 1];
    }
}

std::string_view Document::sectionName(RecordId id) const {
    std::uint16_t section = record(id).section;
    return section ? std::string_view(sections_[section - 1].name) : std::string_view();
}

std::string_view Document::tableName(RecordId id) const {
    std::uint16_t table = record(id).table;
    return table ? std::string_view(tables_[table - 1].name) : std::string_view();
}

std::vector<Tag> Document::tags(RecordId id) const {
    const Record& r = record(id);
    if (r.tags) {
        return *r.tags;
    }
    std::vector<Tag> tags;
    TagReader reader(std::string_view(bytes_.get(), size_), codec_.encoding(), r.begin, r.end);
    RawTag raw;
    while (reader.next(raw)) {
        tags.push_back(codec_.decode(raw));
    }
    return tags;
}

void Document::buildHandleIndex() const {
    if (handlesIndexed_) {
        return;
    }
    handles_.reserve(records_.size());
    for (RecordId id = first_; id != kNoRecord; id = records_[id].next) {
        if (records_[id].handle) {
            handles_.emplace(records_[id].handle, id);  // with duplicates the first one wins
        }
    }
    handlesIndexed_ = true;
}

RecordId Document::findHandle(std::uint64_t handle) const {
    buildHandleIndex();
    auto found = handles_.find(handle);
    return found == handles_.end() ? kNoRecord : found->second;
}

namespace {

std::optional<Range> findRange(const std::vector<Range>& ranges, std::string_view name) {
    auto found = std::find_if(ranges.begin(), ranges.end(),
                              [name](const Range& range) { return range.name == name; });
    return found == ranges.end() ? std::nullopt : std::optional<Range>(*found);
}

}  // namespace

std::optional<Range> Document::section(std::string_view name) const {
    return findRange(sections_, name);
}

std::optional<Range> Document::table(std::string_view name) const {
    return findRange(tables_, name);
}

RecordId Document::headerVariable(std::string_view name) const {
    auto found = header_.find(name);
    return found == header_.end() ? kNoRecord : found->second;
}

std::vector<Tag> Document::headerValues(std::string_view name) const {
    RecordId id = headerVariable(name);
    if (id == kNoRecord) {
        return {};
    }
    std::vector<Tag> values = tags(id);
    values.erase(values.begin());
    return values;
}

std::optional<std::string> Document::headerString(std::string_view name) const {
    std::vector<Tag> values = headerValues(name);
    if (values.empty()) {
        return std::nullopt;
    }
    return values.front().value;
}

void Document::setHeaderVariable(std::string_view name, const std::vector<Tag>& values) {
    std::vector<Tag> tags{Tag{9, std::string(name)}};
    tags.insert(tags.end(), values.begin(), values.end());
    RecordId id = headerVariable(name);
    if (id != kNoRecord) {
        replaceTags(id, std::move(tags));
        return;
    }
    auto header = section("HEADER");
    if (!header) {
        throw DxfError("cannot set " + std::string(name) + ": the drawing has no HEADER section");
    }
    insertBefore(header->end, std::move(tags));
}

void Document::validate(const std::vector<Tag>& tags, std::uint16_t section,
                        RecordId replacing) const {
    if (tags.empty()) {
        throw DxfError("a record needs at least one tag");
    }
    // In HEADER every record but the section's own markers is a variable (group 9).
    bool inHeader = section && sections_[section - 1].name == "HEADER" &&
                    !(replacing != kNoRecord && isMarker(record(replacing).type()));
    int leadCode = inHeader ? 9 : 0;
    if (tags.front().code != leadCode) {
        throw DxfError("a record " + std::string(inHeader ? "in HEADER" : "") +
                       " must start with group code " + std::to_string(leadCode));
    }
    std::string_view type = trimType(tags.front().value);
    if (!inHeader) {
        bool keepsType = replacing != kNoRecord && record(replacing).type() == type;
        bool wasMarker = replacing != kNoRecord && isMarker(record(replacing).type());
        if ((isMarker(type) || wasMarker) && !keepsType) {
            throw DxfError("section and table markers cannot be added or changed in type");
        }
    }
    RecordKeys keys(type);
    for (std::size_t i = 0; i < tags.size(); ++i) {
        const Tag& tag = tags[i];
        if (i > 0 && (tag.code == 0 || (inHeader && tag.code == 9))) {
            throw DxfError("group code " + std::to_string(tag.code) + " may only start a record");
        }
        if (std::string problem = codec_.problemWith(tag); !problem.empty()) {
            throw DxfError(problem);
        }
        if (!inHeader) {
            keys.add(tag.code, tag.value);
        }
    }
    if (keys.handle()) {
        RecordId holder = findHandle(keys.handle());
        if (holder != kNoRecord && holder != replacing) {
            throw DxfError("handle " + formatHandle(keys.handle()) +
                           " already belongs to another record");
        }
    }
}

void Document::forgetHeaderName(RecordId id) {
    if (auto found = header_.find(records_[id].type());
        found != header_.end() && found->second == id) {
        header_.erase(found);
    }
}

bool Document::matchesFile(const Record& r, const std::vector<Tag>& tags) const {
    if (r.fileType.empty() || r.end <= r.begin) {
        return false;
    }
    TagReader reader(std::string_view(bytes_.get(), size_), codec_.encoding(), r.begin, r.end);
    RawTag raw;
    std::size_t i = 0;
    while (reader.next(raw)) {
        if (i >= tags.size() || codec_.decode(raw) != tags[i]) {
            return false;
        }
        ++i;
    }
    return i == tags.size();
}

void Document::setTags(RecordId id, std::vector<Tag> tags) {
    Record& r = record(id);
    buildHandleIndex();
    if (r.handle) {
        handles_.erase(r.handle);
    }
    forgetHeaderName(id);
    if (matchesFile(r, tags)) {
        r.tags.reset();
    } else {
        r.tags = std::make_unique<std::vector<Tag>>(std::move(tags));
    }
    const std::vector<Tag>& now = r.tags ? *r.tags : tags;
    bool keyed = now.front().code == 0;
    if (!keyed) {
        header_.emplace(std::string(r.type()), id);
    }
    RecordKeys keys(r.type());
    for (const Tag& tag : now) {
        if (keyed) {
            keys.add(tag.code, tag.value);
        }
    }
    r.handle = keys.handle();
    r.owner = keys.owner();
    if (r.handle) {
        handles_[r.handle] = id;
        nextHandle_ = std::max(nextHandle_, r.handle + 1);
    }
    countEdit(r);
}

void Document::replaceTags(RecordId id, std::vector<Tag> tags) {
    validate(tags, record(id).section, id);
    setTags(id, std::move(tags));
}

RecordId Document::insertBefore(RecordId position, std::vector<Tag> tags) {
    const Record& p = record(position);
    if (!p.section || p.type() == "SECTION") {
        throw DxfError("records can only be inserted inside a section");
    }
    return insert(p.previous, position, p.section, p.type() == "TABLE" ? 0 : p.table,
                  std::move(tags));
}

RecordId Document::insertAfter(RecordId position, std::vector<Tag> tags) {
    const Record& p = record(position);
    if (!p.section || p.type() == "ENDSEC") {
        throw DxfError("records can only be inserted inside a section");
    }
    return insert(position, p.next, p.section, p.type() == "ENDTAB" ? 0 : p.table, std::move(tags));
}

RecordId Document::insert(RecordId after, RecordId before, std::uint16_t section,
                          std::uint16_t table, std::vector<Tag> tags) {
    validate(tags, section, kNoRecord);
    auto id = static_cast<RecordId>(records_.size());
    Record& r = records_.add();
    r.section = section;
    r.table = table;
    r.previous = after;
    r.next = before;
    (after == kNoRecord ? first_ : records_[after].next) = id;
    (before == kNoRecord ? last_ : records_[before].previous) = id;
    setTags(id, std::move(tags));
    adjustTableCount(table, +1);
    return id;
}

RecordId Document::reinsertAfter(RecordId position, RecordId erased, std::vector<Tag> tags) {
    const Record& p = record(position);
    if (erased >= records_.size() || !records_[erased].erased || !p.section ||
        p.type() == "ENDSEC") {
        return insertAfter(position, std::move(tags));
    }
    const std::uint16_t table = p.type() == "ENDTAB" ? 0 : p.table;
    Record& r = records_[erased];
    if (r.section != p.section || r.table != table) {
        return insertAfter(position, std::move(tags));
    }
    validate(tags, r.section, kNoRecord);
    const RecordId before = p.next;
    r.erased = false;
    r.previous = position;
    r.next = before;
    records_[position].next = erased;
    (before == kNoRecord ? last_ : records_[before].previous) = erased;
    setTags(erased, std::move(tags));
    adjustTableCount(table, +1);
    return erased;
}

void Document::erase(RecordId id) {
    Record& r = record(id);
    if (isMarker(r.type())) {
        throw DxfError("section and table markers cannot be erased");
    }
    buildHandleIndex();
    if (r.handle) {
        handles_.erase(r.handle);
    }
    (r.previous == kNoRecord ? first_ : records_[r.previous].next) = r.next;
    (r.next == kNoRecord ? last_ : records_[r.next].previous) = r.previous;
    forgetHeaderName(id);
    r.erased = true;
    r.tags.reset();
    countEdit(r);
    adjustTableCount(r.table, -1);
}

void Document::adjustTableCount(std::uint16_t table, int delta) {
    if (!table) {
        return;
    }
    RecordId marker = tables_[table - 1].begin;
    std::vector<Tag> tags = this->tags(marker);
    auto count = std::find_if(tags.begin(), tags.end(), [](const Tag& t) { return t.code == 70; });
    if (count == tags.end()) {
        return;
    }
    if (tableCounts_.size() < tables_.size()) {
        tableCounts_.resize(tables_.size());
    }
    std::optional<std::int64_t>& counted = tableCounts_[table - 1];
    counted = counted.value_or(count->asInteger().value_or(0)) + delta;
    const Tag written = Tag::integer(70, std::max<std::int64_t>(0, *counted));
    if (written == *count) {
        return;
    }
    *count = written;
    setTags(marker, std::move(tags));
}

std::uint64_t Document::allocateHandle() {
    return nextHandle_++;
}

void Document::restoreEditMarks(const EditMarks& marks) {
    // A handle still in use is never handed out again.
    std::uint64_t next = marks.nextHandle;
    for (RecordId id = first_; id != kNoRecord && next < nextHandle_; id = records_[id].next) {
        next = std::max(next, records_[id].handle + 1);
    }
    nextHandle_ = next;
    modified_ = marks.modified;
}

void Document::syncHandseed() {
    if (modified_ && nextHandle_ > handseed_ && headerVariable("$HANDSEED") != kNoRecord) {
        handseed_ = nextHandle_;
        setHeaderVariable("$HANDSEED", {Tag::handle(5, handseed_)});
    }
}

void Document::writeRecords(const ByteSink& sink) const {
    if (originalBytes_ && !modified_) {
        sink(std::string_view(originalBytes_.get(), originalSize_));
        return;
    }
    constexpr std::uint64_t kNoRun = ~std::uint64_t{0};
    const char* bytes = bytes_.get();
    // Unchanged records that lie back to back in the file go out as one piece.
    std::uint64_t runBegin = 0;
    std::uint64_t runEnd = prologueEnd_;
    auto flush = [&] {
        if (runEnd > runBegin) {
            sink(std::string_view(bytes + runBegin, runEnd - runBegin));
        }
    };
    std::string encoded;
    for (RecordId id = first_; id != kNoRecord; id = records_[id].next) {
        const Record& r = records_[id];
        if (!r.tags && r.begin == runEnd) {
            runEnd = r.end;
            continue;
        }
        flush();
        if (r.tags) {
            encoded.clear();
            for (const Tag& tag : *r.tags) {
                codec_.encode(tag, encoded);
            }
            sink(encoded);
            runBegin = runEnd = kNoRun;
        } else {
            runBegin = r.begin;
            runEnd = r.end;
        }
    }
    if (runEnd != epilogueBegin_) {
        flush();
        runBegin = epilogueBegin_;
    }
    runEnd = size_;
    flush();
}

void Document::write(const ByteSink& sink) {
    syncHandseed();
    writeRecords(sink);
}

std::string Document::toBytes() {
    std::string out;
    write([&out](std::string_view bytes) { out += bytes; });
    return out;
}

void Document::save(const std::filesystem::path& path) {
    syncHandseed();
    writeFileAtomically(path, [this](const ByteSink& sink) { writeRecords(sink); });
}

}  // namespace cadhost::dxf
