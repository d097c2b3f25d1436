#pragma once
// Local calendar times as seconds, formed one way throughout: the C runtime's 64-bit mktime
// with daylight saving left for it to decide.

#include <cstdint>

class AcDbDate;

namespace lnkhold {

// month 1 to 12, hour 0 to 23.
std::int64_t localSeconds(int year, int month, int day, int hour, int minute, int second);

struct CalendarTime {
    short year = 0;
    short month = 0;
    short day = 0;
    short hour = 0;
    short minute = 0;
    short second = 0;
};

// The calendar date and time of a drawing date, its milliseconds dropped.
CalendarTime calendarOf(const AcDbDate& date);

std::int64_t localSeconds(const AcDbDate& date);

}  // namespace lnkhold
