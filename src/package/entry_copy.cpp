#include "package/entry_copy.h"

#include <cstdlib>

#include "package/inflate.h"

namespace {

// Ends a streamed inflation that the copy gives up on before zlib ended it,
// so that its state is released on every path.
class InflateGuard {
 public:
  explicit InflateGuard(InflateStream* context) : context_(context) {}
  ~InflateGuard() { InflateStreamEnd(context_); }
  InflateGuard(const InflateGuard&) = delete;
  InflateGuard& operator=(const InflateGuard&) = delete;

 private:
  InflateStream* context_;
};

size_t NextChunk(uint32_t left) {
  return left < CopyBuffers::kInputChunk ? left : CopyBuffers::kInputChunk;
}

CopyResult CopyStored(InputFile& file, uint32_t size, OutputFile& out, uint8_t* chunk) {
  uint32_t copied = 0;
  while (copied < size) {
    const size_t got = file.Read(chunk, NextChunk(size - copied));
    if (got == 0) return COPY_CUT_SHORT;
    if (!out.Write(chunk, got)) return COPY_WRITE_FAILED;
    copied += static_cast<uint32_t>(got);
  }
  return COPY_OK;
}

// Feeds the stored bytes chunk by chunk and writes the window out after
// every step; a step may consume nothing while it fills the window, so a
// chunk is stepped until it is used up or the stream is over.
CopyResult CopyInflated(InputFile& file, uint32_t size, OutputFile& out, CopyBuffers& buffers) {
  int32_t count = 0;
  InflateStream context;
  InflateStreamBegin(&count, &context, buffers.window);
  InflateGuard guard(&context);

  auto flush = [&]() {
    const bool written = count == 0 || out.Write(buffers.window, static_cast<size_t>(count));
    count = 0;
    return written;
  };

  uint32_t fed = 0;
  bool over = false;
  bool cutShort = false;
  while (fed < size && !over) {
    const size_t got = file.Read(buffers.input, NextChunk(size - fed));
    if (got == 0) {
      cutShort = true;
      break;
    }
    fed += static_cast<uint32_t>(got);
    const int32_t chunk = static_cast<int32_t>(got);
    int32_t p = 0;
    while (p < chunk && !over) {
      const int32_t remaining = chunk - p;
      const int r = InflateStreamStep(remaining, &context, buffers.input + p);
      if (!flush()) return COPY_WRITE_FAILED;
      if (r == -1) return COPY_INFLATE_FAILED;
      if (r > remaining) {
        over = true;
      } else {
        p += r;
      }
    }
  }
  // The last output may not have fitted into the window.
  while (!over) {
    const int r = InflateStreamStep(0, &context, nullptr);
    const bool windowFull = count >= INFLATE_WINDOW_SIZE;
    if (!flush()) return COPY_WRITE_FAILED;
    if (r == -1) return COPY_INFLATE_FAILED;
    if (r > 0 || !windowFull) break;
  }
  if (cutShort) return COPY_CUT_SHORT;
  // Every stored byte was fed, yet the stream never reached its end.
  return context.ended ? COPY_OK : COPY_INFLATE_FAILED;
}

}  // namespace

CopyBuffers::CopyBuffers()
    : input(static_cast<uint8_t*>(malloc(kInputChunk + INFLATE_WINDOW_SIZE))),
      window(input == nullptr ? nullptr : input + kInputChunk) {}

CopyBuffers::~CopyBuffers() { free(input); }

CopyResult CopyEntryData(InputFile& file, const PackageTree& tree, const IndexEntry& entry,
                         OutputFile& out, CopyBuffers& buffers) {
  if (entry.storedSize == 0) return COPY_OK;
  if (tree.method == TREE_METHOD_SOLID_LZMA2) {
    if (!buffers.solid) {
      buffers.solid = std::make_unique<SolidStream>();
      buffers.solid->Open(file, tree.dataBase);
    }
    return static_cast<CopyResult>(buffers.solid->Copy(entry.offset, entry.storedSize, out));
  }
  // A method this reader does not know writes nothing it would have to guess.
  if (tree.method != TREE_METHOD_PER_FILE) return COPY_INFLATE_FAILED;
  if (buffers.input == nullptr || !file.Seek(tree.dataBase + entry.offset)) return COPY_CUT_SHORT;
  if ((entry.flags & ENTRY_COMPRESSED) != 0) {
    return CopyInflated(file, entry.storedSize, out, buffers);
  }
  return CopyStored(file, entry.storedSize, out, buffers.input);
}
