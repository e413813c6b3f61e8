// Runs arbitrary bytes through the solid stream reader as a package's solid
// data area. The block records' CRCs are recomputed over whatever bytes the
// input holds, so that the LZMA2 decoder itself sees the mutations; the
// stream is then copied whole, and once more from behind the position, which
// starts a block afresh.
#include <zlib.h>

#include <cstdint>
#include <vector>

#include "base/byte_order.h"
#include "package/solid_stream.h"

namespace {

class CountingOutput final : public OutputFile {
 public:
  bool Write(const void*, size_t size) override {
    bytes += size;
    return true;
  }
  bool Close() override { return true; }
  uint64_t bytes = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SolidHeader header;
  if (size < SOLID_HEADER_SIZE || !DecodeSolidHeader(data, &header)) return 0;
  // Keep each run short: a small stream in few blocks.
  if (header.streamLength > (4u << 20)) return 0;
  std::vector<uint8_t> area(data, data + size);
  size_t start = SOLID_HEADER_SIZE + size_t{header.blockCount} * SOLID_BLOCK_RECORD_SIZE;
  for (uint32_t i = 0; i < header.blockCount && start <= size; ++i) {
    uint8_t* record = area.data() + SOLID_HEADER_SIZE + size_t{i} * SOLID_BLOCK_RECORD_SIZE;
    if (record + SOLID_BLOCK_RECORD_SIZE > area.data() + size) break;
    const size_t stored = DecodeU32(record);
    const size_t present = stored < size - start ? stored : size - start;
    EncodeU32(record + 4,
              static_cast<uint32_t>(crc32(0, area.data() + start, static_cast<uInt>(present))));
    start += present;
  }

  MemoryInputFile file(area.data(), area.size());
  SolidStream stream;
  if (!stream.Open(file, 0)) return 0;
  CountingOutput whole;
  const SolidResult result = stream.Copy(0, header.streamLength, whole);
  if (result == SOLID_OK && whole.bytes != header.streamLength) __builtin_trap();
  if (whole.bytes > header.streamLength) __builtin_trap();
  CountingOutput part;
  stream.Copy(header.streamLength / 3, header.streamLength / 4, part);
  if (part.bytes > header.streamLength / 4) __builtin_trap();
  return 0;
}
