#pragma once
// A calendar date and time as the drawing stores it (a Julian day number with the time of
// day as fraction).

#include <cstdint>

class AcDbDate {
  public:
    AcDbDate() = default;
    static AcDbDate fromJulian(double julian);
    // The current date and time: local, or UTC.
    static AcDbDate now(bool utc = false);
    double julian() const;

    void getDate(short& month, short& day, short& year) const;
    void getTime(short& hour, short& minute, short& second, short& millisecond) const;
    void setDate(int month, int day, int year);
    void setTime(int hour, int minute, int second, int millisecond);

  private:
    std::int64_t julianDay_ = 0;
    std::int64_t millisecondOfDay_ = 0;
};
