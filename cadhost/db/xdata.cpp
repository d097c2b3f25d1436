#include "cadhost/db/xdata.h"

#include <cstdlib>
#include <cstring>

#include "cadhost/db/dxf_error.h"
#include "cadhost/db/object_access.h"
#include "cadhost/sdk/acutads.h"
#include "cadhost/sdk/dbapserv.h"

namespace cadhost::db {
namespace {

bool isPointCode(int code) {
    return code >= 1010 && code <= 1013;
}

bool isRealCode(int code) {
    return code >= 1040 && code <= 1042;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(c | 0x20);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Appends one buffer for the group at tags[i]; returns how many tags it used.
std::size_t appendBuffer(const TagList& tags, std::size_t i, resbuf**& tail) {
    const Tag& tag = tags[i];
    resbuf* buffer = acutNewRb(tag.code);
    if (!buffer) {
        throw std::bad_alloc();
    }
    *tail = buffer;
    tail = &buffer->rbnext;
    std::size_t used = 1;
    if (isPointCode(tag.code)) {
        buffer->resval.rpoint[0] = tag.asDouble().value_or(0.0);
        for (int axis = 1;
             axis < 3 && i + used < tags.size() && tags[i + used].code == tag.code + 10 * axis;
             ++axis, ++used) {
            buffer->resval.rpoint[axis] = tags[i + used].asDouble().value_or(0.0);
        }
    } else if (isRealCode(tag.code)) {
        buffer->resval.rreal = tag.asDouble().value_or(0.0);
    } else if (tag.code == 1070) {
        buffer->resval.rint = static_cast<short>(tag.asInteger().value_or(0));
    } else if (tag.code == 1071) {
        buffer->resval.rlong = static_cast<std::int32_t>(tag.asInteger().value_or(0));
    } else if (tag.code == 1004) {
        std::size_t bytes = tag.value.size() / 2;
        buffer->resval.rbinary.clen = static_cast<short>(bytes);
        buffer->resval.rbinary.buf = static_cast<char*>(std::malloc(bytes ? bytes : 1));
        for (std::size_t b = 0; b < bytes; ++b) {
            int high = hexValue(tag.value[2 * b]);
            int low = hexValue(tag.value[2 * b + 1]);
            buffer->resval.rbinary.buf[b] =
                static_cast<char>(std::max(high, 0) * 16 + std::max(low, 0));
        }
    } else if (acutRbHoldsString(tag.code)) {
        acutNewString(tag.value.c_str(), buffer->resval.rstring);
    }  // other codes in malformed xdata keep a zero value: acutRelRb frees strings only
    return used;
}

std::optional<TagList> groupTags(const resbuf& buffer) {
    int code = buffer.restype;
    const ads_u_val& value = buffer.resval;
    if (isPointCode(code)) {
        return TagList{Tag::real(code, value.rpoint[0]), Tag::real(code + 10, value.rpoint[1]),
                       Tag::real(code + 20, value.rpoint[2])};
    }
    if (isRealCode(code)) {
        return TagList{Tag::real(code, value.rreal)};
    }
    if (code == 1070) {
        return TagList{Tag::integer(code, value.rint)};
    }
    if (code == 1071) {
        return TagList{Tag::integer(code, value.rlong)};
    }
    if (code == 1004) {
        if (value.rbinary.clen < 0 || value.rbinary.clen > 127 ||
            (value.rbinary.clen > 0 && !value.rbinary.buf)) {
            return std::nullopt;
        }
        static const char* digits = "0123456789ABCDEF";
        std::string hex;
        for (short b = 0; b < value.rbinary.clen; ++b) {
            auto byte = static_cast<unsigned char>(value.rbinary.buf[b]);
            hex += digits[byte >> 4];
            hex += digits[byte & 15];
        }
        return TagList{Tag::text(code, hex)};
    }
    if (code < 1000 || code > 1005 || !value.rstring ||
        std::strpbrk(value.rstring, "\r\n") != nullptr) {
        return std::nullopt;
    }
    std::string text = value.rstring;
    if ((code == 1002 && text != "{" && text != "}") || (code == 1005 && !dxf::parseHandle(text)) ||
        (code == 1001 && text.empty())) {
        return std::nullopt;
    }
    return TagList{Tag::text(code, text)};
}

}  // namespace

std::vector<AppXdata> splitXdata(const TagList& tags) {
    std::vector<AppXdata> applications;
    for (std::size_t i = xdataBegin(tags); i < tags.size(); ++i) {
        if (tags[i].code == 1001) {
            applications.push_back({tags[i].value, {}});
        }
        applications.back().tags.push_back(tags[i]);
    }
    return applications;
}

resbuf* toResbufChain(const std::vector<AppXdata>& applications) {
    resbuf* head = nullptr;
    resbuf** tail = &head;
    try {
        for (const AppXdata& app : applications) {
            for (std::size_t i = 0; i < app.tags.size();) {
                i += appendBuffer(app.tags, i, tail);
            }
        }
    } catch (const std::bad_alloc&) {
        acutRelRb(head);
        return nullptr;
    }
    return head;
}

std::optional<std::vector<AppXdata>> fromResbufChain(const resbuf* chain) {
    std::vector<AppXdata> applications;
    for (const resbuf* buffer = chain; buffer; buffer = buffer->rbnext) {
        std::optional<TagList> tags = groupTags(*buffer);
        if (!tags || (applications.empty() && buffer->restype != 1001)) {
            return std::nullopt;
        }
        if (buffer->restype == 1001) {
            applications.push_back({tags->front().value, {}});
        }
        TagList& target = applications.back().tags;
        target.insert(target.end(), tags->begin(), tags->end());
    }
    return applications;
}

std::size_t xdataSize(const std::vector<AppXdata>& applications) {
    std::size_t size = 0;
    for (const AppXdata& app : applications) {
        for (const Tag& tag : app.tags) {
            int code = tag.code;
            if (code >= 1020 && code <= 1033) {
                continue;  // counted with its point
            }
            size += 2;
            if (isPointCode(code)) {
                size += 24;
            } else if (isRealCode(code)) {
                size += 8;
            } else if (code == 1070) {
                size += 2;
            } else if (code == 1071) {
                size += 4;
            } else if (code == 1005) {
                size += 8;
            } else if (code == 1004) {
                size += tag.value.size() / 2 + 1;
            } else {
                size += tag.value.size() + 1;
            }
        }
    }
    return size;
}

}  // namespace cadhost::db

using cadhost::db::AppXdata;

resbuf* AcDbObject::xData(const char* application) const {
    std::vector<AppXdata> applications = cadhost::db::splitXdata(tags());
    if (application) {
        std::erase_if(applications, [application](const AppXdata& app) {
            return !cadhost::db::sameName(app.application, application);
        });
    }
    return cadhost::db::toResbufChain(applications);
}

Acad::ErrorStatus AcDbObject::setXData(const resbuf* chain) {
    if (Acad::ErrorStatus es = checkWritable(); es != Acad::eOk) {
        return es;
    }
    auto changes = cadhost::db::fromResbufChain(chain);
    if (!changes || changes->empty()) {
        return Acad::eInvalidInput;
    }
    AcDbDatabase* db = database() ? database() : acdbHostApplicationServices()->workingDatabase();
    if (!db) {
        return Acad::eNoDatabase;
    }
    std::vector<AppXdata> applications = cadhost::db::splitXdata(tags());
    for (AppXdata& change : *changes) {
        if (!db->state().findEntry(cadhost::db::TableKind::RegApp, change.application)) {
            return Acad::eRegappIdNotFound;
        }
        auto same =
            std::find_if(applications.begin(), applications.end(), [&](const AppXdata& app) {
                return cadhost::db::sameName(app.application, change.application);
            });
        bool removing = change.tags.size() == 1;
        if (same == applications.end()) {
            if (!removing) {
                applications.push_back(std::move(change));
            }
        } else if (removing) {
            applications.erase(same);
        } else {
            *same = std::move(change);
        }
    }
    if (cadhost::db::xdataSize(applications) > static_cast<std::size_t>(kMaxXDataBytes)) {
        return Acad::eXdataSizeExceeded;
    }
    std::vector<cadhost::db::Tag>& all = tagsForWrite();
    all.erase(all.begin() + static_cast<std::ptrdiff_t>(cadhost::db::xdataBegin(all)), all.end());
    for (const AppXdata& app : applications) {
        all.insert(all.end(), app.tags.begin(), app.tags.end());
    }
    return Acad::eOk;
}
