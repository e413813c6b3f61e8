// Runs arbitrary bytes through both inflaters and checks that they agree:
// whatever the whole-buffer inflation produced must be what the streamed
// inflation writes, fed in chunks whose size the first input byte chooses.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "package/inflate.h"

namespace {

std::vector<uint8_t> InflateStreamed(const uint8_t* data, size_t size, size_t chunk) {
  std::vector<uint8_t> out;
  uint8_t window[INFLATE_WINDOW_SIZE];
  int32_t count = 0;
  InflateStream stream;
  InflateStreamBegin(&count, &stream, window);
  size_t fed = 0;
  bool over = false;
  while (fed < size && !over) {
    int32_t n = static_cast<int32_t>(std::min(chunk, size - fed));
    const uint8_t* input = data + fed;
    fed += static_cast<size_t>(n);
    for (int32_t p = 0; p < n && !over;) {
      int32_t remaining = n - p;
      int r = InflateStreamStep(remaining, &stream, input + p);
      if (r > remaining) {
        over = true;
      } else if (r < 0) {
        over = true;
      } else {
        p += r;
      }
      if (count < 0 || count > INFLATE_WINDOW_SIZE) __builtin_trap();
      out.insert(out.end(), window, window + count);
      count = 0;
      if (out.size() > (64u << 20)) return out;
    }
  }
  while (!over) {
    int r = InflateStreamStep(0, &stream, nullptr);
    int32_t produced = count;
    out.insert(out.end(), window, window + count);
    count = 0;
    if (r != 0 || produced < INFLATE_WINDOW_SIZE || out.size() > (64u << 20)) break;
  }
  InflateStreamEnd(&stream);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 16)) return 0;
  size_t chunk = 1 + (data[0] % 64) * 64;
  ++data;
  --size;

  ByteBuffer whole(1024);
  InflateToBuffer(data, static_cast<uint32_t>(size), &whole);
  if (whole.length < 0 || whole.length > whole.capacity) __builtin_trap();

  std::vector<uint8_t> streamed = InflateStreamed(data, size, chunk);
  // The streamed form stops feeding at the stream's end, as the whole form
  // does, so both see the same stream; only a 64 MB cap may cut one short.
  size_t common = std::min(streamed.size(), static_cast<size_t>(whole.length));
  if (streamed.size() < (64u << 20) && streamed.size() != static_cast<size_t>(whole.length)) {
    __builtin_trap();
  }
  if (common != 0 && memcmp(streamed.data(), whole.data, common) != 0) __builtin_trap();
  return 0;
}
