#include "package/byte_buffer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

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

}  // namespace
