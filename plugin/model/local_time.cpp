#include "plugin/model/local_time.h"

#include <ctime>

#include "dbdate.h"

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

CalendarTime calendarOf(const AcDbDate& date) {
    CalendarTime time;
    short millisecond = 0;
    date.getDate(time.month, time.day, time.year);
    date.getTime(time.hour, time.minute, time.second, millisecond);
    return time;
}

std::int64_t localSeconds(const AcDbDate& date) {
    const CalendarTime time = calendarOf(date);
    return localSeconds(time.year, time.month, time.day, time.hour, time.minute, time.second);
}

}  // namespace lnkhold
