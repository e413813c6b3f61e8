// Checking and converting the time stored with a file entry.
#pragma once

#include <cstdint>

#include "package/package_format.h"

// True when `time` names a real instant a Windows SYSTEMTIME can hold: year
// 1601 to 30827, a month's real days (leap years counted), hours 0-23,
// minutes and seconds 0-59, hundredths 0-99.
bool IsValidEntryTime(const EntryTime& time);

// Seconds since 1970-01-01 00:00:00 UTC (negative before) and nanoseconds of
// a valid entry time.
void EntryTimeToUnix(const EntryTime& time, int64_t* seconds, uint32_t* nanoseconds);
