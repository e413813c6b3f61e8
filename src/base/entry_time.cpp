#include "base/entry_time.h"

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to the given proleptic Gregorian date and back, in
// 400-year eras starting on March 1st (Howard Hinnant's days_from_civil and
// civil_from_days), exact over the whole SYSTEMTIME range. Its years start at
// 1601, so no era lies before year 0 and the divisions need no rounding
// towards minus infinity.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  const int64_t era = year / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

struct CivilDate {
  int64_t year;
  int64_t month;
  int64_t day;
};

CivilDate CivilFromDays(int64_t days) {
  const int64_t z = days + 719468;
  const int64_t era = z / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  const int64_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month,
          dayOfYear - (153 * shiftedMonth + 2) / 5 + 1};
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

bool EntryTimeFromUnix(int64_t seconds, uint32_t nanoseconds, EntryTime* time) {
  // Bounds first, so the civil conversion below cannot overflow: 1601-01-01
  // and 30828-01-01, both 00:00:00 UTC.
  constexpr int64_t kFirst = -11644473600;
  constexpr int64_t kPastLast = 910670515200;
  if (seconds < kFirst || seconds >= kPastLast || nanoseconds >= 1000000000u) return false;
  int64_t days = seconds / 86400;
  int64_t secondOfDay = seconds % 86400;
  if (secondOfDay < 0) {
    secondOfDay += 86400;
    --days;
  }
  const CivilDate date = CivilFromDays(days);
  time->year = static_cast<uint16_t>(date.year);
  time->month = static_cast<uint8_t>(date.month);
  time->day = static_cast<uint8_t>(date.day);
  time->hour = static_cast<uint8_t>(secondOfDay / 3600);
  time->minute = static_cast<uint8_t>(secondOfDay / 60 % 60);
  time->second = static_cast<uint8_t>(secondOfDay % 60);
  time->hundredths = static_cast<uint8_t>(nanoseconds / 10000000u);
  return true;
}
