#include "package/byte_buffer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

TEST(ByteBufferTest, ReserveRoundsUpByGrowthSteps) {
  ByteBuffer buffer(1024);
  ASSERT_TRUE(buffer.Reserve(6904));
  EXPECT_EQ(buffer.capacity, 7168);
  EXPECT_EQ(buffer.length, 0);
  ASSERT_NE(buffer.data, nullptr);

  // Growing counts on from the current capacity, not from zero.
  ASSERT_TRUE(buffer.Reserve(7169));
  EXPECT_EQ(buffer.capacity, 8192);
}

TEST(ByteBufferTest, ReserveSmallerKeepsBlockButEmpties) {
  ByteBuffer buffer(1024);
  ASSERT_TRUE(buffer.Reserve(3000));
  uint8_t* block = buffer.data;
  buffer.length = 100;
  ASSERT_TRUE(buffer.Reserve(10));
  EXPECT_EQ(buffer.data, block);
  EXPECT_EQ(buffer.capacity, 3072);
  EXPECT_EQ(buffer.length, 0);
}

TEST(ByteBufferTest, ReserveZeroFreesTheBlock) {
  ByteBuffer buffer(1024);
  ASSERT_TRUE(buffer.Reserve(10));
  buffer.length = 5;
  ASSERT_TRUE(buffer.Reserve(0));
  EXPECT_EQ(buffer.data, nullptr);
  EXPECT_EQ(buffer.capacity, 0);
  EXPECT_EQ(buffer.length, 0);
}

TEST(ByteBufferTest, EnsureRoomDoublesFromGrowthStepAndKeepsContents) {
  ByteBuffer buffer(1024);
  ASSERT_TRUE(buffer.EnsureRoom(5000));
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
}

TEST(ByteBufferTest, EnsureRoomRefusesSizesPastTheSignedRange) {
  ByteBuffer buffer(1024);
  ASSERT_TRUE(buffer.EnsureRoom(16));
  buffer.length = 16;
  EXPECT_FALSE(buffer.EnsureRoom(INT32_MAX));
  // The buffer is left as it was.
  EXPECT_EQ(buffer.capacity, 1024);
  EXPECT_EQ(buffer.length, 16);
  EXPECT_NE(buffer.data, nullptr);
}

TEST(ByteBufferTest, ReleaseHandsOverTheBlock) {
  ByteBuffer buffer(1024);
  ASSERT_TRUE(buffer.EnsureRoom(4));
  memcpy(buffer.data, "abcd", 4);
  buffer.length = 4;
  uint8_t* block = buffer.Release();
  EXPECT_EQ(buffer.data, nullptr);
  EXPECT_EQ(buffer.length, 0);
  EXPECT_EQ(buffer.capacity, 0);
  EXPECT_EQ(memcmp(block, "abcd", 4), 0);
  free(block);
}
