#pragma once
// Internal to the document: one record and the keys found in its tags.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "cadhost/db/dxf_document.h"

namespace cadhost::dxf {

// A group-0 or group-9 value without trailing blanks.
std::string_view trimType(std::string_view value);

struct Document::Record {
    std::uint64_t begin = 0;  // original bytes; unused once `tags` is set
    std::uint64_t end = 0;
    std::uint64_t handle = 0;
    std::uint64_t owner = 0;
    std::string_view fileType;               // the type as read from the file; "" for new records
    std::unique_ptr<std::vector<Tag>> tags;  // set for changed and new records
    RecordId previous = kNoRecord;
    RecordId next = kNoRecord;
    std::uint16_t section = 0;  // index into sections_ plus one; 0: outside every section
    std::uint16_t table = 0;    // index into tables_ plus one; 0: not in a table
    bool erased = false;

    // Points into the file bytes, or into (*tags)[0].value, which is never changed in place.
    std::string_view type() const { return tags ? trimType(tags->front().value) : fileType; }
};

// Collects a record's handle and owner while its tags go by.
class RecordKeys {
  public:
    explicit RecordKeys(std::string_view type) : dimstyle_(type == "DIMSTYLE") {}

    // Inline: it runs for every tag of a file's records.
    void add(int code, std::string_view value) {
        if (code == 5 || (code == 105 && dimstyle_)) {
            if (!handle_) {
                handle_ = parseHandle(value).value_or(0);
            }
        } else if (code == 102) {
            inAppGroup_ = value.starts_with('{');  // "{ACAD_REACTORS" opens, "}" closes
        } else if (code == 330 && !inAppGroup_ && !owner_) {
            owner_ = parseHandle(value).value_or(0);
        }
    }
    std::uint64_t handle() const { return handle_; }
    std::uint64_t owner() const { return owner_; }

  private:
    bool dimstyle_;
    bool inAppGroup_ = false;
    std::uint64_t handle_ = 0;
    std::uint64_t owner_ = 0;
};

// Fewer bytes than the records of a large file take on average. Stores of records expect
// the part of the file they are cut from to hold this many: room for all of them from the
// start spares a large file's first records their small pages, and a guess too high costs
// only address space.
inline constexpr std::uint64_t kLeastRecordBytes = 128;

// Section and table markers: they shape the file and are never added or removed by edits.
bool isMarker(std::string_view type);

}  // namespace cadhost::dxf
