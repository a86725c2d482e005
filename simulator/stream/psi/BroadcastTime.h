// Time as the tables code it: the DVB UTC_time (16-bit Modified Julian Date and BCD
// hours, minutes, seconds), BCD durations, the local time of the simulated broadcasts'
// region, and ATSC's GPS seconds.
#pragma once

#include <cstdint>

#include "Bytes.h"

namespace tunersim::stream::psi {

// The clock's accepted range: 1970-01-01 to 9999-12-31. Earlier or later times are
// taken as its ends, so that no arithmetic on them overflows.
int64_t ClampClock(int64_t unixSeconds);

// value (< 10^digits) in binary-coded decimal, one digit per four bits.
uint32_t Bcd(uint32_t value, int digits);

// The 40-bit UTC_time: MJD (its low 16 bits, as the field wraps) and hhmmss in BCD.
void PutUtcTime(Bytes& out, int64_t unixSeconds);
// The 24-bit BCD hhmmss of a duration (hours beyond 99 are cut to 99:59:59).
uint32_t BcdDuration(uint32_t seconds);

// The region of the simulated broadcasts: Germany, one region, Central European Time
// with summer time from the last Sunday of March to the last Sunday of October, both
// changes at 01:00 UTC.
inline constexpr char kLocalCountry[] = "DEU";
struct LocalTimeOffset {
    int minutes;           // the offset now, ahead of UTC
    int64_t timeOfChange;  // the next change (unix seconds)
    int nextMinutes;       // the offset after it
};
LocalTimeOffset LocalOffsetAt(int64_t unixSeconds);

// GPS time (A/65 STT): seconds since 1980-01-06 00:00:00 UTC, counting leap seconds, and
// GPS - UTC at that moment. Times before the GPS epoch are the epoch; the 32-bit count
// wraps as the field does (in 2116).
uint32_t GpsSeconds(int64_t unixSeconds);
uint8_t GpsUtcOffset(int64_t unixSeconds);

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day);
struct CivilDate {
    int64_t year;
    unsigned month;
    unsigned day;
};
CivilDate CivilFromDays(int64_t days);

}  // namespace tunersim::stream::psi
