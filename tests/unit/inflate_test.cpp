#include "package/inflate.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"

namespace {

// Capacity InflateToBuffer reserves in a fresh buffer for `sourceLength`.
int32_t ReservedCapacity(size_t sourceLength) {
  return static_cast<int32_t>((sourceLength * 10 + 1024 + 1023) / 1024 * 1024);
}

int Inflate(const Bytes& packed, ByteBuffer* buffer, uint64_t limit = INT32_MAX) {
  return InflateToBuffer(packed.data(), static_cast<uint32_t>(packed.size()), buffer, limit);
}

TEST(InflateToBufferTest, GrowsFourfoldKeepsWhatCameOutOfACutStreamAndHonoursTheLimit) {
  const Bytes original = TextLikeBytes(3 << 20, 1);
  const Bytes packed = RawDeflate(original);
  ByteBuffer buffer(1024);
  ASSERT_EQ(Inflate(packed, &buffer), 0);
  EXPECT_EQ(Bytes(buffer.data, buffer.data + buffer.length), original);
  int32_t capacity = ReservedCapacity(packed.size());
  while (capacity < static_cast<int32_t>(original.size())) capacity *= 4;
  EXPECT_EQ(buffer.capacity, capacity);

  ASSERT_EQ(Inflate(Bytes(packed.begin(), packed.begin() + packed.size() / 2), &buffer), 0);
  ASSERT_GT(buffer.length, 0);
  ASSERT_LT(buffer.length, static_cast<int32_t>(original.size()));
  EXPECT_TRUE(std::equal(buffer.data, buffer.data + buffer.length, original.begin()));
  EXPECT_EQ(Inflate(packed, &buffer, original.size()), 0);
  EXPECT_EQ(Inflate(packed, &buffer, original.size() - 1), INFLATE_OVER_LIMIT);
  EXPECT_EQ(InflateToBuffer(nullptr, 0, &buffer), -1);
  EXPECT_EQ(buffer.length, 0);
  EXPECT_EQ(Inflate({0x07, 0x00, 0x00}, &buffer), -1);  // block type 11 is reserved
  EXPECT_EQ(buffer.length, 0);
}

// Zeros whose inflated size equals the capacity reserved for their stream: a
// finished one fits without growing, an unfinished one grows, then fails.
TEST(InflateToBufferTest, OutputOfExactlyTheReservedSize) {
  for (const bool finish : {true, false}) {
    size_t size = 1024;
    Bytes packed;
    for (; size <= 64 * 1024; size += 1024) {
      packed = RawDeflate(Bytes(size, 0), 9, finish);
      if (ReservedCapacity(packed.size()) == static_cast<int32_t>(size)) break;
    }
    ASSERT_LE(size, 64u * 1024) << "no size matched its reserved capacity";
    ByteBuffer buffer(1024);
    EXPECT_EQ(Inflate(packed, &buffer), finish ? 0 : -1);
    EXPECT_EQ(buffer.length, static_cast<int32_t>(size));
    EXPECT_EQ(buffer.capacity > static_cast<int32_t>(size), !finish);
  }
}

// One streamed inflation; each step's output is taken from the window at once.
struct Drive {
  Bytes output;
  uint8_t window[INFLATE_WINDOW_SIZE];
  int32_t count = 0;
  InflateStream stream;

  Drive() { EXPECT_EQ(InflateStreamBegin(&count, &stream, window), 0); }
  ~Drive() { InflateStreamEnd(&stream); }
  int Step(int32_t length, const uint8_t* input) {
    const int r = InflateStreamStep(length, &stream, input);
    output.insert(output.end(), window, window + count);
    count = 0;
    return r;
  }
};

TEST(InflateStreamTest, EndReportsExactlyTheConsumedInputAndStaysOver) {
  const Bytes original = TextLikeBytes(1000, 5);
  Bytes packed = RawDeflate(original);
  const size_t streamLength = packed.size();
  packed.insert(packed.end(), {0xDE, 0xAD, 0xBE, 0xEF});  // trailing bytes stay unused
  Drive run;
  const auto length = static_cast<int32_t>(packed.size());
  const int r = run.Step(length, packed.data());
  ASSERT_GT(r, length);
  EXPECT_EQ(static_cast<size_t>(r - length - 1), streamLength);
  EXPECT_EQ(run.output, original);
  EXPECT_EQ(run.Step(0, nullptr), -1);  // never into zlib again

  // Unfinished, it ends on an empty step; broken, it stays failed.
  const Bytes unfinished = RawDeflate(original, 9, false);
  Drive open;
  const auto openLength = static_cast<int32_t>(unfinished.size());
  ASSERT_EQ(open.Step(openLength, unfinished.data()), openLength);
  EXPECT_EQ(open.output, original);
  EXPECT_EQ(open.Step(0, nullptr), 1);
  const uint8_t invalidBlockType[] = {0x07, 0x00, 0x00, 0x00};
  Drive broken;
  EXPECT_EQ(broken.Step(4, invalidBlockType), -1);
  EXPECT_EQ(broken.Step(4, invalidBlockType), -1);
  EXPECT_EQ(broken.Step(0, nullptr), -1);
}

TEST(InflateStreamTest, FullWindowConsumesNothingUntilTakenThenGoesOn) {
  const Bytes original(100000, 'x');  // far more than a window from little input
  const Bytes packed = RawDeflate(original);
  Drive run;
  const auto length = static_cast<int32_t>(packed.size());
  int32_t fed = InflateStreamStep(length, &run.stream, packed.data());
  ASSERT_GE(fed, 0);
  ASSERT_LE(fed, length);
  ASSERT_EQ(run.count, INFLATE_WINDOW_SIZE);
  EXPECT_EQ(InflateStreamStep(length - fed, &run.stream, packed.data() + fed), 0);
  EXPECT_EQ(run.count, INFLATE_WINDOW_SIZE);
  for (int r = 0; r <= length - fed;) {  // until the end: r past what was left
    fed += r;
    r = run.Step(length - fed, packed.data() + fed);
    ASSERT_NE(r, -1);
  }
  EXPECT_EQ(run.output, original);
  EXPECT_FALSE(run.stream.open);
  Drive abandoned;
  abandoned.Step(length, packed.data());
  InflateStreamEnd(&abandoned.stream);
  EXPECT_FALSE(abandoned.stream.open);
  EXPECT_EQ(abandoned.Step(0, nullptr), -1);
}

}  // namespace
