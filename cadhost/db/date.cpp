#include <cmath>
#include <ctime>

#include "cadhost/sdk/dbdate.h"

namespace {

constexpr std::int64_t kMillisecondsPerDay = 86'400'000;

// Julian day number of a Gregorian calendar date (Fliegel and Van Flandern).
std::int64_t julianDay(std::int64_t year, std::int64_t month, std::int64_t day) {
    std::int64_t a = (month - 14) / 12;
    return (1461 * (year + 4800 + a)) / 4 + (367 * (month - 2 - 12 * a)) / 12 -
           (3 * ((year + 4900 + a) / 100)) / 4 + day - 32075;
}

}  // namespace

AcDbDate AcDbDate::fromJulian(double julian) {
    AcDbDate date;
    if (!std::isfinite(julian) || julian < 0 || julian > 1e8) {
        return date;
    }
    date.julianDay_ = static_cast<std::int64_t>(std::floor(julian));
    date.millisecondOfDay_ = std::min<std::int64_t>(
        kMillisecondsPerDay - 1,
        std::llround((julian - static_cast<double>(date.julianDay_)) * kMillisecondsPerDay));
    return date;
}

AcDbDate AcDbDate::now(bool utc) {
    std::timespec now{};
    std::timespec_get(&now, TIME_UTC);
    std::tm parts{};
    if (utc) {
        gmtime_r(&now.tv_sec, &parts);
    } else {
        localtime_r(&now.tv_sec, &parts);
    }
    AcDbDate date;
    date.setDate(parts.tm_mon + 1, parts.tm_mday, parts.tm_year + 1900);
    date.setTime(parts.tm_hour, parts.tm_min, parts.tm_sec,
                 static_cast<int>(now.tv_nsec / 1'000'000));
    return date;
}

double AcDbDate::julian() const {
    return static_cast<double>(julianDay_) +
           static_cast<double>(millisecondOfDay_) / kMillisecondsPerDay;
}

void AcDbDate::getDate(short& month, short& day, short& year) const {
    std::int64_t l = julianDay_ + 68569;
    std::int64_t n = (4 * l) / 146097;
    l -= (146097 * n + 3) / 4;
    std::int64_t i = (4000 * (l + 1)) / 1461001;
    l = l - (1461 * i) / 4 + 31;
    std::int64_t j = (80 * l) / 2447;
    day = static_cast<short>(l - (2447 * j) / 80);
    l = j / 11;
    month = static_cast<short>(j + 2 - 12 * l);
    year = static_cast<short>(100 * (n - 49) + i + l);
}

void AcDbDate::getTime(short& hour, short& minute, short& second, short& millisecond) const {
    std::int64_t ms = millisecondOfDay_;
    hour = static_cast<short>(ms / 3'600'000);
    minute = static_cast<short>(ms / 60'000 % 60);
    second = static_cast<short>(ms / 1000 % 60);
    millisecond = static_cast<short>(ms % 1000);
}

void AcDbDate::setDate(int month, int day, int year) {
    julianDay_ = julianDay(year, month, day);
}

void AcDbDate::setTime(int hour, int minute, int second, int millisecond) {
    millisecondOfDay_ =
        ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
}
