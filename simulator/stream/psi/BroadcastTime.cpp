#include "BroadcastTime.h"

#include <algorithm>
#include <array>

namespace tunersim::stream::psi {
namespace {

constexpr int64_t kMaxClock = 253402300799;  // 9999-12-31 23:59:59
constexpr int64_t kMjdOfUnixEpoch = 40587;
constexpr int64_t kGpsEpoch = 315964800;      // 1980-01-06 00:00:00 UTC

// The UTC days (1st of January or July) from which GPS ran one more second ahead.
struct LeapSecond {
    int year;
    unsigned month;
};
constexpr std::array<LeapSecond, 18> kLeapSeconds{{
    {1981, 7}, {1982, 7}, {1983, 7}, {1985, 7}, {1988, 1}, {1990, 1}, {1991, 1}, {1992, 7}, {1993, 7},
    {1994, 7}, {1996, 1}, {1997, 7}, {1999, 1}, {2006, 1}, {2009, 1}, {2012, 7}, {2015, 7}, {2017, 1},
}};

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

// 01:00 UTC on the last Sunday of the month.
int64_t LastSundayOneUtc(int64_t year, unsigned month) {
    const int64_t nextMonth = month == 12 ? DaysFromCivil(year + 1, 1, 1) : DaysFromCivil(year, month + 1, 1);
    const int64_t last = nextMonth - 1;
    const int64_t weekday = ((last + 4) % 7 + 7) % 7;  // 1970-01-01 was a Thursday; 0 is Sunday
    return (last - weekday) * 86400 + 3600;
}

}  // namespace

int64_t ClampClock(int64_t unixSeconds) { return std::clamp<int64_t>(unixSeconds, 0, kMaxClock); }

uint32_t Bcd(uint32_t value, int digits) {
    uint32_t bcd = 0;
    for (int i = 0; i < digits; ++i, value /= 10) bcd |= (value % 10) << (4 * i);
    return bcd;
}

int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = FloorDiv(year, 400);
    const int64_t yoe = year - era * 400;
    const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

CivilDate CivilFromDays(int64_t days) {
    days += 719468;
    const int64_t era = FloorDiv(days, 146097);
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const auto day = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
    const auto month = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (month <= 2), month, day};
}

void PutUtcTime(Bytes& out, int64_t unixSeconds) {
    const int64_t t = ClampClock(unixSeconds);
    const int64_t mjd = t / 86400 + kMjdOfUnixEpoch;
    const auto secondOfDay = static_cast<uint32_t>(t % 86400);
    Put16(out, static_cast<uint16_t>(mjd & 0xFFFF));
    Put24(out, Bcd(secondOfDay / 3600, 2) << 16 | Bcd(secondOfDay / 60 % 60, 2) << 8 | Bcd(secondOfDay % 60, 2));
}

uint32_t BcdDuration(uint32_t seconds) {
    if (seconds > 99 * 3600 + 59 * 60 + 59) seconds = 99 * 3600 + 59 * 60 + 59;
    return Bcd(seconds / 3600, 2) << 16 | Bcd(seconds / 60 % 60, 2) << 8 | Bcd(seconds % 60, 2);
}

LocalTimeOffset LocalOffsetAt(int64_t unixSeconds) {
    const int64_t t = ClampClock(unixSeconds);
    const int64_t year = CivilFromDays(t / 86400).year;
    const int64_t summerStarts = LastSundayOneUtc(year, 3);
    const int64_t summerEnds = LastSundayOneUtc(year, 10);
    if (t < summerStarts) return {60, summerStarts, 120};
    if (t < summerEnds) return {120, summerEnds, 60};
    return {60, LastSundayOneUtc(year + 1, 3), 120};
}

uint8_t GpsUtcOffset(int64_t unixSeconds) {
    const int64_t t = ClampClock(unixSeconds);
    uint8_t offset = 0;
    for (const auto& leap : kLeapSeconds)
        if (t >= DaysFromCivil(leap.year, leap.month, 1) * 86400) ++offset;
    return offset;
}

uint32_t GpsSeconds(int64_t unixSeconds) {
    const int64_t t = ClampClock(unixSeconds);
    if (t < kGpsEpoch) return 0;
    return static_cast<uint32_t>((t - kGpsEpoch + GpsUtcOffset(t)) & 0xFFFFFFFF);
}

}  // namespace tunersim::stream::psi
