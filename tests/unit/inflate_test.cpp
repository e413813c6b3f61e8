#include "package/inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>

#include "test_support.h"

namespace {

// Reserved capacity InflateToBuffer gives a fresh buffer for `sourceLength`.
int32_t ReservedCapacity(size_t sourceLength) {
  int32_t wanted = static_cast<int32_t>(sourceLength * 10 + 1024);
  return (wanted + 1023) / 1024 * 1024;
}

// Deflates without finishing the stream: every byte is decodable, but the
// final block never comes.
Bytes RawDeflateUnfinished(const Bytes& data) {
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())) + 64);
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_SYNC_FLUSH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

Bytes Contents(const ByteBuffer& buffer) { return Bytes(buffer.data, buffer.data + buffer.length); }

}  // namespace

TEST(InflateToBufferTest, InflatesAndGrowsFourfoldWhenFull) {
  Bytes original = TextLikeBytes(3 << 20, 1);
  Bytes packed = RawDeflate(original);
  ByteBuffer buffer(1024);
  ASSERT_EQ(InflateToBuffer(packed.data(), static_cast<uint32_t>(packed.size()), &buffer), 0);
  EXPECT_EQ(Contents(buffer), original);
  // Each regrowth quadruples the reserved capacity.
  int32_t capacity = ReservedCapacity(packed.size());
  while (capacity < static_cast<int32_t>(original.size())) capacity *= 4;
  EXPECT_EQ(buffer.capacity, capacity);
}

TEST(InflateToBufferTest, OutputOfExactlyTheReservedSizeDoesNotGrow) {
  // Find a run of zeros whose inflated size equals the capacity reserved for
  // its compressed form.
  for (size_t size = 1024; size <= 64 * 1024; size += 1024) {
    Bytes packed = RawDeflate(Bytes(size, 0));
    if (ReservedCapacity(packed.size()) != static_cast<int32_t>(size)) continue;
    ByteBuffer buffer(1024);
    ASSERT_EQ(InflateToBuffer(packed.data(), static_cast<uint32_t>(packed.size()), &buffer), 0);
    EXPECT_EQ(buffer.length, static_cast<int32_t>(size));
    EXPECT_EQ(buffer.capacity, static_cast<int32_t>(size));
    return;
  }
  FAIL() << "no size matched its reserved capacity";
}

TEST(InflateToBufferTest, StreamCutShortIsSuccessWhenOutputFits) {
  Bytes original = TextLikeBytes(20000, 2);
  Bytes packed = RawDeflate(original);
  Bytes cut(packed.begin(), packed.begin() + packed.size() / 2);
  ByteBuffer buffer(1024);
  ASSERT_EQ(InflateToBuffer(cut.data(), static_cast<uint32_t>(cut.size()), &buffer), 0);
  ASSERT_GT(buffer.length, 0);
  ASSERT_LT(buffer.length, static_cast<int32_t>(original.size()));
  EXPECT_TRUE(std::equal(buffer.data, buffer.data + buffer.length, original.begin()));
}

TEST(InflateToBufferTest, StreamCutShortAtAFullBufferFailsWithPartialOutput) {
  for (size_t size = 1024; size <= 64 * 1024; size += 1024) {
    Bytes packed = RawDeflateUnfinished(Bytes(size, 0));
    if (ReservedCapacity(packed.size()) != static_cast<int32_t>(size)) continue;
    ByteBuffer buffer(1024);
    EXPECT_EQ(InflateToBuffer(packed.data(), static_cast<uint32_t>(packed.size()), &buffer), -1);
    EXPECT_EQ(buffer.length, static_cast<int32_t>(size));
    EXPECT_GT(buffer.capacity, static_cast<int32_t>(size));  // it did grow first
    return;
  }
  FAIL() << "no size matched its reserved capacity";
}

TEST(InflateToBufferTest, EmptyOrBrokenSourceFails) {
  ByteBuffer buffer(1024);
  EXPECT_EQ(InflateToBuffer(nullptr, 0, &buffer), -1);
  EXPECT_EQ(buffer.length, 0);

  const uint8_t invalidBlockType[] = {0x07, 0x00, 0x00};  // BTYPE 11 is reserved
  EXPECT_EQ(InflateToBuffer(invalidBlockType, sizeof invalidBlockType, &buffer), -1);
  EXPECT_EQ(buffer.length, 0);
}

namespace {

// Feeds `packed` in chunks the way the tree extraction does and collects the
// output: steps until each chunk is used up, writes out the window after
// every step, and drains when all input was fed without an end.
struct DriveResult {
  Bytes output;
  bool ended = false;
  bool failed = false;
  size_t consumedAtEnd = 0;  // input bytes consumed when the end was seen
};

DriveResult Drive(const Bytes& packed, size_t chunkSize) {
  DriveResult result;
  uint8_t window[INFLATE_WINDOW_SIZE];
  int32_t count = 0;
  InflateStream stream;
  EXPECT_EQ(InflateStreamBegin(&count, &stream, window), 0);
  auto takeWindow = [&] {
    result.output.insert(result.output.end(), window, window + count);
    count = 0;
  };
  size_t fed = 0;
  bool over = false;
  while (fed < packed.size() && !over) {
    int32_t n = static_cast<int32_t>(std::min(chunkSize, packed.size() - fed));
    const uint8_t* chunk = packed.data() + fed;
    fed += static_cast<size_t>(n);
    int32_t p = 0;
    while (p < n && !over) {
      int32_t remaining = n - p;
      int r = InflateStreamStep(remaining, &stream, chunk + p);
      if (r > remaining) {
        over = result.ended = true;
        p += r - remaining - 1;
        result.consumedAtEnd = fed - static_cast<size_t>(n) + static_cast<size_t>(p);
      } else if (r == -1) {
        over = result.failed = true;
      } else {
        p += r;
      }
      takeWindow();
    }
  }
  while (!over) {
    int r = InflateStreamStep(0, &stream, nullptr);
    int32_t produced = count;
    takeWindow();
    if (r > 0) {
      result.ended = true;
      result.consumedAtEnd = packed.size();
      break;
    }
    if (r == -1) {
      result.failed = true;
      break;
    }
    if (produced < INFLATE_WINDOW_SIZE) break;
  }
  return result;
}

}  // namespace

TEST(InflateStreamTest, LargeOutputPerChunkIsWrittenCompletely) {
  // Zeros inflate to far more than one window per input chunk, so steps that
  // consume nothing must be repeated until the chunk is used.
  Bytes original(300000, 0);
  original[123456] = 1;
  Bytes packed = RawDeflate(original);
  for (size_t chunk : {size_t{1}, size_t{7}, size_t{4096}}) {
    DriveResult result = Drive(packed, chunk);
    EXPECT_TRUE(result.ended) << chunk;
    EXPECT_FALSE(result.failed) << chunk;
    EXPECT_EQ(result.output, original) << chunk;
  }
}

TEST(InflateStreamTest, RandomDataSurvivesAnyChunking) {
  Bytes original = RandomBytes(50000, 3);
  Bytes text = TextLikeBytes(50000, 4);
  original.insert(original.end(), text.begin(), text.end());
  Bytes packed = RawDeflate(original, 6);
  for (size_t chunk : {size_t{13}, size_t{1000}, size_t{4096}}) {
    EXPECT_EQ(Drive(packed, chunk).output, original) << chunk;
  }
}

TEST(InflateStreamTest, EndReportsExactlyTheConsumedInput) {
  Bytes original = TextLikeBytes(1000, 5);
  Bytes packed = RawDeflate(original);
  size_t streamLength = packed.size();
  packed.insert(packed.end(), {0xDE, 0xAD, 0xBE, 0xEF});  // trailing bytes stay unused

  uint8_t window[INFLATE_WINDOW_SIZE];
  int32_t count = 0;
  InflateStream stream;
  ASSERT_EQ(InflateStreamBegin(&count, &stream, window), 0);
  int32_t length = static_cast<int32_t>(packed.size());
  int r = InflateStreamStep(length, &stream, packed.data());
  ASSERT_GT(r, length);
  EXPECT_EQ(static_cast<size_t>(r - length - 1), streamLength);
  EXPECT_EQ(Bytes(window, window + count), original);
  // A stream that is over must not be stepped into zlib again.
  EXPECT_EQ(InflateStreamStep(0, &stream, nullptr), -1);
}

TEST(InflateStreamTest, FullWindowConsumesNothing) {
  Bytes packed = RawDeflate(Bytes(10000, 'x'));
  uint8_t window[INFLATE_WINDOW_SIZE];
  int32_t count = 0;
  InflateStream stream;
  ASSERT_EQ(InflateStreamBegin(&count, &stream, window), 0);
  int32_t length = static_cast<int32_t>(packed.size());
  int r = InflateStreamStep(length, &stream, packed.data());
  ASSERT_GE(r, 0);
  ASSERT_LE(r, length);
  ASSERT_EQ(count, INFLATE_WINDOW_SIZE);
  EXPECT_EQ(InflateStreamStep(length - r, &stream, packed.data() + r), 0);
  EXPECT_EQ(count, INFLATE_WINDOW_SIZE);
  InflateStreamEnd(&stream);
  EXPECT_FALSE(stream.open);
  EXPECT_EQ(InflateStreamStep(0, &stream, nullptr), -1);
}

TEST(InflateStreamTest, FinalEmptyStepAfterAllOutputIsTakenEnds) {
  // An unfinished stream: all output arrives, but no end-of-stream marker.
  Bytes original = TextLikeBytes(100, 6);
  Bytes packed = RawDeflateUnfinished(original);
  uint8_t window[INFLATE_WINDOW_SIZE];
  int32_t count = 0;
  InflateStream stream;
  ASSERT_EQ(InflateStreamBegin(&count, &stream, window), 0);
  int32_t length = static_cast<int32_t>(packed.size());
  ASSERT_EQ(InflateStreamStep(length, &stream, packed.data()), length);
  EXPECT_EQ(Bytes(window, window + count), original);
  count = 0;
  EXPECT_EQ(InflateStreamStep(0, &stream, nullptr), 1);
}

TEST(InflateStreamTest, BrokenDataFailsAndStaysFailed) {
  const uint8_t invalidBlockType[] = {0x07, 0x00, 0x00, 0x00};
  uint8_t window[INFLATE_WINDOW_SIZE];
  int32_t count = 0;
  InflateStream stream;
  ASSERT_EQ(InflateStreamBegin(&count, &stream, window), 0);
  EXPECT_EQ(InflateStreamStep(4, &stream, invalidBlockType), -1);
  EXPECT_EQ(InflateStreamStep(4, &stream, invalidBlockType), -1);
  EXPECT_EQ(InflateStreamStep(0, &stream, nullptr), -1);
}

TEST(InflateStreamTest, TruncatedStreamDrainsWithoutEnd) {
  Bytes original = TextLikeBytes(30000, 7);
  Bytes packed = RawDeflate(original);
  packed.resize(packed.size() / 3);
  DriveResult result = Drive(packed, 4096);
  EXPECT_LT(result.output.size(), original.size());
  EXPECT_TRUE(std::equal(result.output.begin(), result.output.end(), original.begin()));
}
