#include <ctime>
#include <limits>

#include "platform/errno_map.h"
#include "platform/files.h"

namespace platform {

namespace {

constexpr std::int64_t kTicksPerSecond = 10'000'000;  // 100 ns ticks
constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
constexpr std::int64_t kDaysFrom1601To1970 = 134'774;
constexpr std::int64_t kSecondsPerDay = 86'400;

std::uint64_t ticksOf(const FILETIME& time) {
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

FILETIME fileTimeOf(std::uint64_t ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// Year, month and day of a count of days since 1970-01-01 (proleptic Gregorian calendar).
void civilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day) {
    days += 719'468;
    const std::int64_t era = (days >= 0 ? days : days - 146'096) / 146'097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146'097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

FILETIME fileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
    const std::int64_t since1601 = seconds + kSecondsFrom1601To1970;
    if (since1601 < 0) {
        return FILETIME{};
    }
    const auto ticks = static_cast<std::uint64_t>(since1601) * kTicksPerSecond +
                       static_cast<std::uint64_t>(nanoseconds / 100);
    return fileTimeOf(ticks);
}

BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, FILETIME* localFileTime) {
    if (fileTime == nullptr || localFileTime == nullptr) {
        return failWith(ERROR_INVALID_PARAMETER);
    }
    const std::uint64_t ticks = ticksOf(*fileTime);
    const auto seconds = static_cast<std::int64_t>(ticks / kTicksPerSecond);
    const time_t instant = static_cast<time_t>(seconds - kSecondsFrom1601To1970);
    std::tm local{};
    if (localtime_r(&instant, &local) == nullptr) {
        return failWith(ERROR_INVALID_PARAMETER);
    }
    const std::int64_t offset = static_cast<std::int64_t>(local.tm_gmtoff) * kTicksPerSecond;
    if ((offset < 0 && ticks < static_cast<std::uint64_t>(-offset)) ||
        (offset > 0 &&
         ticks > std::numeric_limits<std::uint64_t>::max() - static_cast<std::uint64_t>(offset))) {
        return failWith(ERROR_INVALID_PARAMETER);
    }
    *localFileTime = fileTimeOf(ticks + static_cast<std::uint64_t>(offset));
    return TRUE;
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime) {
    if (fileTime == nullptr || systemTime == nullptr) {
        return failWith(ERROR_INVALID_PARAMETER);
    }
    const std::uint64_t ticks = ticksOf(*fileTime);
    if (ticks > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return failWith(ERROR_INVALID_PARAMETER);
    }
    const auto totalSeconds = static_cast<std::int64_t>(ticks / kTicksPerSecond);
    const std::int64_t days = totalSeconds / kSecondsPerDay;
    const std::int64_t secondOfDay = totalSeconds % kSecondsPerDay;
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civilFromDays(days - kDaysFrom1601To1970, year, month, day);
    SYSTEMTIME st;
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDayOfWeek = static_cast<WORD>((days + 1) % 7);  // 1 January 1601 was a Monday
    st.wDay = static_cast<WORD>(day);
    st.wHour = static_cast<WORD>(secondOfDay / 3600);
    st.wMinute = static_cast<WORD>(secondOfDay / 60 % 60);
    st.wSecond = static_cast<WORD>(secondOfDay % 60);
    st.wMilliseconds = static_cast<WORD>(ticks % kTicksPerSecond / 10'000);
    *systemTime = st;
    return TRUE;
}

}  // namespace platform
