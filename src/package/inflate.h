// Raw deflate (no zlib header, no checksum) inflation, whole or streamed.
#pragma once

#include <zlib.h>

#include <cstdint>

#include "package/byte_buffer.h"

inline constexpr int32_t INFLATE_WINDOW_SIZE = 4096;

// The most a stored script or index of `storedLength` bytes may inflate to.
// Deflate reaches about 1032:1, so a small hostile block could ask for
// gigabytes; the builder stores a block uncompressed when its ratio would
// pass this ceiling, and readers take more as damage.
inline constexpr uint64_t INFLATE_CEILING_RATIO = 64;
inline constexpr uint64_t INFLATE_CEILING_SLACK = 64 * 1024;
inline uint64_t InflateCeiling(uint32_t storedLength) {
  return storedLength * INFLATE_CEILING_RATIO + INFLATE_CEILING_SLACK;
}

inline constexpr int INFLATE_OVER_LIMIT = -2;

// Inflates the whole raw deflate stream in `source` into `buffer`, which is
// emptied first. Returns 0 when the stream ended or the input ran out with
// output space left (a stream cut short is success); -1 on a data error, an
// empty source, a stream cut short exactly at a full buffer, or memory that
// cannot be had; INFLATE_OVER_LIMIT when the output would pass `limit` bytes
// (the buffer then never grew much beyond it). Either way the buffer holds
// the bytes produced.
int InflateToBuffer(const uint8_t* source, uint32_t sourceLength, ByteBuffer* buffer,
                    uint64_t limit = INT32_MAX);

// The context of one streamed inflation into a caller's 4096-byte window.
struct InflateStream {
  z_stream stream;
  uint8_t* window;
  int32_t windowCapacity;
  int32_t* count;
  bool open;   // false once the stream has ended, failed or never opened
  bool ended;  // the stream reached its end marker (not merely ran out of input)
};

// Prepares `context` over `window` (INFLATE_WINDOW_SIZE bytes) and sets
// *count to 0. Returns 0, or -1 when the inflater could not be initialised;
// such a stream fails on its first step.
int InflateStreamBegin(int32_t* count, InflateStream* context, uint8_t* window);

// Feeds up to `length` bytes of `input` (null: no input). Returns r:
//   0 <= r <= length: the stream goes on, r bytes were consumed;
//   r > length:       the stream is over, r - length - 1 bytes were consumed;
//   -1:               an error; the stream has been released.
// Afterwards *count holds the bytes in the window; the caller writes them out
// and sets *count to 0. A stream that is over or failed returns -1 again.
int InflateStreamStep(int32_t length, InflateStream* context, const uint8_t* input);

// Releases a stream that is still open (one abandoned before its end);
// does nothing for one that has ended or failed.
void InflateStreamEnd(InflateStream* context);
