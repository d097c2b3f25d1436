#include "cadhost/db/dxf_repair.h"

#include "cadhost/db/dxf_record.h"

namespace cadhost::dxf {

namespace {

// Builds the mended text: the file's bytes copied in order, with markers left out or added.
class Mender {
  public:
    Mender(std::string_view data, std::string lineEnd)
        : data_(data), lineEnd_(std::move(lineEnd)) {}

    void copyTo(std::uint64_t position) {
        if (position > copied_) {
            out_.append(data_.substr(copied_, position - copied_));
            copied_ = position;
        }
    }
    void skip(std::uint64_t begin, std::uint64_t end) {
        copyTo(begin);
        copied_ = end;
    }
    void insertMarker(std::uint64_t position, std::string_view marker) {
        copyTo(position);
        if (!out_.empty() && out_.back() != '\n') {
            out_ += lineEnd_;  // the file's last line had no line end
        }
        out_ += "  0" + lineEnd_ + std::string(marker) + lineEnd_;
    }
    std::string finish() {
        copyTo(data_.size());
        return std::move(out_);
    }

  private:
    std::string_view data_;
    std::string lineEnd_;
    std::string out_;
    std::uint64_t copied_ = 0;
};

std::string at(std::uint64_t line) {
    return "line " + std::to_string(line) + ": ";
}

}  // namespace

std::optional<RepairedText> repairStructure(std::string_view data, std::uint64_t start,
                                            const std::string& lineEnd) {
    TagReader reader(data, Encoding{}, start, data.size());
    Mender mender(data, lineEnd);
    std::vector<std::string> repairs;

    // The section and table open at the current tag; "" when none.
    std::string section;
    std::string table;
    bool inSection = false;
    bool inTable = false;
    bool awaitingName = false;
    // The ENDSEC that closed the last section, kept back until the next tag shows whether it
    // really ends it (a SECTION or EOF follows) or came too early (the section's tags go on).
    struct Closing {
        bool pending = false;
        std::uint64_t begin = 0;
        std::uint64_t end = 0;
        std::uint64_t line = 0;
    };
    Closing closing;
    std::string closedSection;
    bool sawEof = false;
    bool sawSection = false;

    const auto closeTable = [&](const RawTag& tag, const char* why) {
        if (inTable) {
            mender.insertMarker(tag.begin, "ENDTAB");
            repairs.push_back(at(tag.line) + "table " + table + " has no ENDTAB before " + why +
                              "; one was added");
            inTable = false;
        }
    };
    const auto closeSection = [&](const RawTag& tag, const char* why) {
        closeTable(tag, why);
        if (inSection) {
            mender.insertMarker(tag.begin, "ENDSEC");
            repairs.push_back(at(tag.line) + "section " + section + " has no ENDSEC before " + why +
                              "; one was added");
            inSection = false;
        }
    };

    RawTag tag;
    try {
        while (reader.next(tag)) {
            const std::uint64_t end = reader.position();
            if (awaitingName) {
                if (tag.code != 2) {
                    return std::nullopt;
                }
                (inTable ? table : section) = trimType(tag.value);
                awaitingName = false;
                continue;
            }
            const std::string_view type = tag.code == 0 ? trimType(tag.value) : std::string_view();
            const bool opensOrEnds = type == "SECTION" || type == "EOF";
            if (closing.pending && !inSection) {
                if (opensOrEnds) {
                    closing.pending = false;  // the ENDSEC stands
                } else if (type != "ENDSEC") {
                    // Tags after the ENDSEC: the section goes on, its ENDSEC comes later.
                    mender.skip(closing.begin, closing.end);
                    repairs.push_back(at(closing.line) + "ENDSEC closed section " + closedSection +
                                      " too early; it now ends after the tags that follow it");
                    section = closedSection;
                    inSection = true;
                    closing.pending = false;
                }
            }
            if (tag.code != 0 || !isMarker(type)) {
                if (!inSection && !closing.pending && !(tag.code == 999 && !sawSection)) {
                    return std::nullopt;  // tags before any section: not damage we mend
                }
                continue;
            }
            if (type == "SECTION") {
                sawSection = true;
                closeSection(tag, "the next SECTION");
                inSection = true;
                awaitingName = true;
            } else if (type == "ENDSEC") {
                if (!inSection) {
                    mender.skip(tag.begin, end);
                    repairs.push_back(at(tag.line) + "a second ENDSEC was left out");
                    continue;
                }
                closeTable(tag, "ENDSEC");
                inSection = false;
                closedSection = section;
                closing = Closing{true, tag.begin, end, tag.line};
            } else if (type == "TABLE") {
                if (!inSection) {
                    return std::nullopt;
                }
                closeTable(tag, "the next TABLE");
                inTable = true;
                awaitingName = true;
            } else if (type == "ENDTAB") {
                if (!inTable) {
                    mender.skip(tag.begin, end);
                    repairs.push_back(at(tag.line) + "an ENDTAB outside a table was left out");
                } else {
                    inTable = false;
                }
            } else {  // EOF: what follows it is kept as it is
                closeSection(tag, "EOF");
                sawEof = true;
                break;
            }
        }
    } catch (const DxfError&) {
        return std::nullopt;
    }
    if (awaitingName || !sawSection) {
        return std::nullopt;  // no section at all: not a drawing, not damage we mend
    }
    if (!sawEof) {
        const std::uint64_t line = reader.errorAtEnd("").position();
        RawTag last;
        last.begin = data.size();
        last.line = line;
        closeSection(last, "the end of the file");
        mender.insertMarker(data.size(), "EOF");
        repairs.push_back(at(line) +
                          "the file ends without EOF (it may have been cut short); "
                          "EOF was added");
    }
    if (repairs.empty()) {
        return std::nullopt;
    }
    std::string bytes = mender.finish();
    return RepairedText{std::move(bytes), std::move(repairs)};
}

}  // namespace cadhost::dxf
