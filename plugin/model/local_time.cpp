#include "plugin/model/local_time.h"

#include <ctime>

#include "cadhost/sdk/dbdate.h"

namespace lnkhold {

std::int64_t localSeconds(int year, int month, int day, int hour, int minute, int second) {
    std::tm calendar{};
    calendar.tm_year = year - 1900;
    calendar.tm_mon = month - 1;
    calendar.tm_mday = day;
    calendar.tm_hour = hour;
    calendar.tm_min = minute;
    calendar.tm_sec = second;
    calendar.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&calendar));
}

std::int64_t localSeconds(const AcDbDate& date) {
    short month = 0;
    short day = 0;
    short year = 0;
    short hour = 0;
    short minute = 0;
    short second = 0;
    short millisecond = 0;
    date.getDate(month, day, year);
    date.getTime(hour, minute, second, millisecond);
    return localSeconds(year, month, day, hour, minute, second);
}

}  // namespace lnkhold
