#include "base/entry_time.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(EntryTimeTest, OnlyRealInstantsASystemTimeHolds) {
  const EntryTime bad[] = {
      {2022, 0, 3, 0, 0, 0, 0},   {2022, 13, 3, 0, 0, 0, 0},   {2022, 11, 0, 0, 0, 0, 0},
      {2022, 11, 31, 0, 0, 0, 0}, {2023, 2, 29, 0, 0, 0, 0},   {1900, 2, 29, 0, 0, 0, 0},
      {2022, 12, 32, 0, 0, 0, 0}, {2022, 11, 3, 24, 0, 0, 0},  {2022, 11, 3, 0, 60, 0, 0},
      {2022, 11, 3, 0, 0, 60, 0}, {2022, 11, 3, 0, 0, 0, 100}, {1600, 12, 31, 23, 59, 59, 99},
      {30828, 1, 1, 0, 0, 0, 0}};
  for (const EntryTime& time : bad) EXPECT_FALSE(IsValidEntryTime(time)) << time.year;
  const EntryTime good[] = {{2024, 2, 29, 23, 59, 59, 99}, {2000, 2, 29, 0, 0, 0, 0},
                            {1601, 1, 1, 0, 0, 0, 0},      {30827, 12, 31, 23, 59, 59, 99},
                            {2022, 1, 31, 0, 0, 0, 0},     {2022, 12, 31, 0, 0, 0, 0}};
  for (const EntryTime& time : good) EXPECT_TRUE(IsValidEntryTime(time)) << time.year;
  // The last day each month accepts is the day before the next month's first,
  // as the calendar arithmetic of the Unix conversion counts it.
  for (const uint16_t year : {uint16_t{2023}, uint16_t{2024}, uint16_t{2100}}) {
    for (uint8_t month = 1; month <= 12; ++month) {
      uint8_t last = 28;
      while (IsValidEntryTime({year, month, static_cast<uint8_t>(last + 1), 0, 0, 0, 0})) ++last;
      const EntryTime next = month == 12 ? EntryTime{static_cast<uint16_t>(year + 1), 1, 1}
                                         : EntryTime{year, static_cast<uint8_t>(month + 1), 1};
      int64_t lastSeconds, nextSeconds;
      uint32_t nanoseconds;
      EntryTimeToUnix({year, month, last, 0, 0, 0, 0}, &lastSeconds, &nanoseconds);
      EntryTimeToUnix(next, &nextSeconds, &nanoseconds);
      EXPECT_EQ(nextSeconds - lastSeconds, 86400) << year << "-" << int{month};
    }
  }
}

TEST(EntryTimeTest, UnixTimesBothWays) {
  struct Instant {
    EntryTime time;
    int64_t seconds;
    uint32_t nanoseconds;  // hundredths rounded down on the way in
  } const instants[] = {
      {{1970, 1, 1, 0, 0, 0, 0}, 0, 0},
      {{1601, 1, 1, 0, 0, 0, 57}, -11644473600, 579999999},
      {{1969, 12, 31, 23, 59, 59, 50}, -1, 500000000},
      {{2000, 2, 29, 1, 1, 1, 12}, 951782400 + 3661, 120000000},
      {{2022, 11, 3, 0, 0, 0, 99}, 1667433600, 999999999},
      {{30827, 12, 31, 23, 59, 59, 99}, 910670515199, 999999999},
  };
  for (const Instant& instant : instants) {
    EntryTime time;
    ASSERT_TRUE(EntryTimeFromUnix(instant.seconds, instant.nanoseconds, &time)) << instant.seconds;
    EXPECT_EQ(time, instant.time) << instant.seconds;
    int64_t seconds;
    uint32_t nanoseconds;
    EntryTimeToUnix(instant.time, &seconds, &nanoseconds);
    EXPECT_EQ(seconds, instant.seconds);
    EXPECT_EQ(nanoseconds, instant.nanoseconds / 10000000 * 10000000);
  }
  EntryTime time;
  for (const int64_t seconds :
       {int64_t{-11644473601}, int64_t{910670515200}, INT64_MIN, INT64_MAX}) {
    EXPECT_FALSE(EntryTimeFromUnix(seconds, 0, &time)) << seconds;
  }
  EXPECT_FALSE(EntryTimeFromUnix(0, 1000000000, &time));
}
