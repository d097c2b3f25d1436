// File facts of a row and the texts of its "Size", "Date modified" and "Current" columns.

#include <cstdio>

#include "dbsymtb.h"
#include "platform/files.h"
#include "plugin/model/local_time.h"
#include "plugin/model/path_resolution.h"
#include "plugin/model/xref_row.h"

namespace lnkhold {

namespace {

// A loaded xref counts as current while its last update is at most this much newer than
// its file.
constexpr std::int64_t kCurrentToleranceSeconds = 30;

// The seconds of a UTC file time as local calendar time; 0 when it cannot be converted.
std::int64_t localFileSeconds(const platform::FILETIME& written) {
    platform::FILETIME local;
    platform::SYSTEMTIME calendar;
    if (!platform::FileTimeToLocalFileTime(&written, &local) ||
        !platform::FileTimeToSystemTime(&local, &calendar) || calendar.wYear < 1900) {
        return 0;
    }
    return localSeconds(calendar.wYear, calendar.wMonth, calendar.wDay, calendar.wHour,
                        calendar.wMinute, calendar.wSecond);
}

}  // namespace

std::string XrefRow::locatedFile() const {
    // fullPath keeps only the file name of a relative stored path ("sub\plan.dwg" gives
    // "plan.dwg"), which would miss a file the host found.
    return !foundPath.empty() && foundPath != kXrefNotDefined ? foundPath : resolvePath(fullPath());
}

void XrefRow::readFileFacts() {
    fileSize = 0;
    const std::string found = locatedFile();
    if (found.empty()) {
        return;
    }
    platform::WIN32_FIND_DATAA data;
    platform::HANDLE find = platform::FindFirstFileA(found.c_str(), &data);
    if (find == platform::INVALID_HANDLE_VALUE) {
        return;
    }
    fileSize = data.nFileSizeLow;
    fileTime = localFileSeconds(data.ftLastWriteTime);
    platform::FindClose(find);
}

void XrefRow::updateTimestampDiffers(const AcDbDatabase* loaded) {
    timestampDiffers =
        loaded && localSeconds(loaded->tdupdate()) - fileTime > kCurrentToleranceSeconds ? 1 : 0;
}

std::string XrefRow::sizeText() const {
    return std::to_string(fileSize / 1024) + " KB";
}

std::string XrefRow::dateText() const {
    AcDbBlockTableRecord* record = nullptr;
    if (blockId.isNull() || acdbOpenObject(record, blockId, AcDb::kForRead) != Acad::eOk) {
        return {};
    }
    const AcDbDatabase* loaded = record->xrefDatabase(false);
    std::string text;
    if (loaded) {
        const CalendarTime time = calendarOf(loaded->tdupdate());
        // A 12-hour clock: midnight is 12 AM, noon 12 PM.
        const char* half = time.hour >= 12 ? "PM" : "AM";
        const int clockHour = time.hour % 12 == 0 ? 12 : time.hour % 12;
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%d/%d/%d %d:%d:%d %s", time.month, time.day,
                      time.year, clockHour, time.minute, time.second, half);
        text = buffer;
    }
    record->close();
    return text;
}

}  // namespace lnkhold
