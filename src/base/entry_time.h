// The time stored with a file entry: a calendar time in UTC to the
// hundredth of a second, as a Windows SYSTEMTIME holds it, with its checks
// and its conversions to and from POSIX times.
#pragma once

#include <cstdint>

struct EntryTime {
  uint16_t year = 0;
  uint8_t month = 0;
  uint8_t day = 0;
  uint8_t hour = 0;
  uint8_t minute = 0;
  uint8_t second = 0;
  uint8_t hundredths = 0;

  bool operator==(const EntryTime&) const = default;
};

// True when `time` names a real instant a Windows SYSTEMTIME can hold: year
// 1601 to 30827, a month's real days (leap years counted), hours 0-23,
// minutes and seconds 0-59, hundredths 0-99.
bool IsValidEntryTime(const EntryTime& time);

// Seconds since 1970-01-01 00:00:00 UTC (negative before) and nanoseconds of
// a valid entry time.
void EntryTimeToUnix(const EntryTime& time, int64_t* seconds, uint32_t* nanoseconds);

// The entry time of a POSIX time (seconds since 1970 UTC plus nanoseconds),
// hundredths rounded down. False when the year is outside 1601..30827.
bool EntryTimeFromUnix(int64_t seconds, uint32_t nanoseconds, EntryTime* time);
