#include "package/entry_time.h"

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the given proleptic Gregorian date (Howard
// Hinnant's days_from_civil), exact over the whole SYSTEMTIME range.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

}  // namespace

bool IsValidEntryTime(const EntryTime& time) {
  if (time.year < 1601 || time.year > 30827) return false;
  if (time.month < 1 || time.month > 12) return false;
  if (time.day < 1 || time.day > DaysInMonth(time.year, time.month)) return false;
  return time.hour < 24 && time.minute < 60 && time.second < 60 && time.hundredths < 100;
}

void EntryTimeToUnix(const EntryTime& time, int64_t* seconds, uint32_t* nanoseconds) {
  const int64_t days = DaysFromCivil(time.year, time.month, time.day);
  *seconds = days * 86400 + time.hour * 3600 + time.minute * 60 + time.second;
  *nanoseconds = static_cast<uint32_t>(time.hundredths) * 10000000u;
}
