#include "cadhost/db/record_copy.h"

#include "cadhost/db/new_records.h"

namespace cadhost::db {

namespace {

bool isPointer(int code) {
    auto in = [code](int first, int last) { return code >= first && code <= last; };
    return in(320, 369) || in(390, 399) || in(480, 481);
}

int handleCode(const TagList& tags) {
    return !tags.empty() && tags.front().value == "DIMSTYLE" ? 105 : 5;
}

// Takes out 102 groups that lost every member ("{ACAD_REACTORS" directly followed by "}").
void dropEmptyGroups(TagList& tags) {
    for (std::size_t i = 0; i + 1 < tags.size();) {
        if (tags[i].code == 102 && tags[i + 1].code == 102 && tags[i].value.starts_with('{') &&
            tags[i + 1].value == "}") {
            tags.erase(tags.begin() + static_cast<std::ptrdiff_t>(i),
                       tags.begin() + static_cast<std::ptrdiff_t>(i + 2));
        } else {
            ++i;
        }
    }
}

}  // namespace

RecordCopy::RecordCopy(DatabaseState& target, UndoLog& log)
    : target_(target), log_(log), handlesOn_(handlesOn(target)) {}

void RecordCopy::map(std::uint64_t source, std::uint64_t target) {
    handles_[source] = target;
}

void RecordCopy::reserve(const ObjectStub* source) {
    if (reserved_.contains(source)) {
        return;
    }
    const std::uint64_t handle = handlesOn_ ? target_.doc().allocateHandle() : 0;
    reserved_[source] = handle;
    if (source->handle != 0) {
        handles_[source->handle] = handle;
    }
}

std::uint64_t RecordCopy::mapped(std::uint64_t source) const {
    auto found = handles_.find(source);
    return found == handles_.end() ? 0 : found->second;
}

TagList RecordCopy::remapped(const ObjectStub* source, TagList tags) const {
    const int ownCode = handleCode(tags);
    const std::size_t xdata = xdataBegin(tags);
    TagList copy;
    copy.reserve(tags.size() + 1);
    copy.push_back(std::move(tags.front()));
    bool handleWritten = false;
    auto writeHandle = [&] {
        if (handlesOn_ && !handleWritten) {
            copy.push_back(Tag::handle(ownCode, reserved_.at(source)));
        }
        handleWritten = true;
    };
    for (std::size_t i = 1; i < tags.size(); ++i) {
        Tag& tag = tags[i];
        if (i < xdata && tag.code == ownCode) {
            writeHandle();
            continue;
        }
        if (i >= xdata && tag.code == 1005) {
            if (std::uint64_t target = mapped(tag.asHandle().value_or(0))) {
                tag = Tag::handle(1005, target);
            }
        } else if (i < xdata && isPointer(tag.code)) {
            const std::uint64_t handle = tag.asHandle().value_or(0);
            if (handle == 0) {
                copy.push_back(std::move(tag));
                continue;
            }
            const std::uint64_t target = mapped(handle);
            if (target == 0) {
                continue;
            }
            tag = Tag::handle(tag.code, target);
        }
        if (i == 1) {
            writeHandle();  // a source record without a handle gets one right after its type
        }
        copy.push_back(std::move(tag));
    }
    writeHandle();
    dropEmptyGroups(copy);
    return copy;
}

ObjectStub* RecordCopy::place(TagList tags, dxf::RecordId position) {
    return target_.insertBefore(position, std::move(tags), &log_);
}

}  // namespace cadhost::db
