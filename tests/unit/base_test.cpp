// The foundations: the byte buffer's growth, the handle owner, entry times.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/entry_time.h"
#include "base/unique_handle.h"
#include "package/byte_buffer.h"

namespace {

TEST(ByteBufferTest, ReserveGrowsByStepsEmptiesAndFrees) {
  ByteBuffer buffer(1024);
  ASSERT_TRUE(buffer.Reserve(6904));
  EXPECT_EQ(buffer.capacity, 7168);
  ASSERT_NE(buffer.data, nullptr);
  buffer.length = 100;
  ASSERT_TRUE(buffer.Reserve(7169));  // counts on from the current capacity
  EXPECT_EQ(buffer.capacity, 8192);
  EXPECT_EQ(buffer.length, 0);

  uint8_t* block = buffer.data;
  buffer.length = 100;
  ASSERT_TRUE(buffer.Reserve(10));  // smaller: the block stays, emptied
  EXPECT_EQ(buffer.data, block);
  EXPECT_EQ(buffer.capacity, 8192);
  EXPECT_EQ(buffer.length, 0);

  buffer.length = 5;
  ASSERT_TRUE(buffer.Reserve(0));
  EXPECT_EQ(buffer.data, nullptr);
  EXPECT_EQ(buffer.capacity, 0);
  EXPECT_EQ(buffer.length, 0);
}

TEST(ByteBufferTest, EnsureRoomDoublesKeepsContentsAndRefusesThe32BitEdge) {
  ByteBuffer buffer(1024);
  ASSERT_TRUE(buffer.EnsureRoom(5000));  // doubling from the growth step
  EXPECT_EQ(buffer.capacity, 8192);
  EXPECT_EQ(buffer.length, 0);
  memset(buffer.data, 0xAB, 8192);
  buffer.length = 8000;
  ASSERT_TRUE(buffer.EnsureRoom(192));  // fits exactly: no new block
  EXPECT_EQ(buffer.capacity, 8192);
  ASSERT_TRUE(buffer.EnsureRoom(193));
  EXPECT_EQ(buffer.capacity, 16384);
  EXPECT_EQ(buffer.length, 8000);
  for (int i = 0; i < 8000; ++i) ASSERT_EQ(buffer.data[i], 0xAB) << i;

  EXPECT_FALSE(buffer.EnsureRoom(INT32_MAX));  // the buffer is left as it was
  EXPECT_EQ(buffer.capacity, 16384);
  EXPECT_EQ(buffer.length, 8000);

  uint8_t* block = buffer.Release();
  EXPECT_EQ(buffer.data, nullptr);
  EXPECT_EQ(buffer.length, 0);
  EXPECT_EQ(buffer.capacity, 0);
  EXPECT_EQ(block[7999], 0xAB);
  free(block);
}

std::vector<int> closed;
void Close(int value) { closed.push_back(value); }
using Owner = UniqueHandle<int, Close>;

TEST(UniqueHandleTest, ClosesEachValueExactlyOnce) {
  closed.clear();
  {
    Owner a(1);
    Owner b(2);
    a = std::move(b);  // 1 is closed now, 2 moves over
    EXPECT_EQ(closed, std::vector<int>({1}));
    EXPECT_EQ(a.Get(), 2);
    EXPECT_FALSE(b);
    Owner c(std::move(a));
    EXPECT_FALSE(a);
    auto& self = c;
    c = std::move(self);  // self-assignment keeps the value
    EXPECT_EQ(c.Get(), 2);
    Owner d;  // empty owners close nothing
  }
  EXPECT_EQ(closed, std::vector<int>({1, 2}));

  closed.clear();
  Owner e(3);
  EXPECT_EQ(e.Release(), 3);
  e.Reset(4);
  e.Reset();
  EXPECT_EQ(closed, std::vector<int>({4}));
}

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

}  // namespace
