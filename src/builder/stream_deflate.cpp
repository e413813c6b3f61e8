#include "builder/stream_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr size_t COPY_CHUNK = size_t{1} << 20;

class ZlibDeflater {
 public:
  explicit ZlibDeflater(int level) {
    std::memset(&stream_, 0, sizeof stream_);
    if (deflateInit2(&stream_, std::min(level, 9), Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
      throw PackageError("", "cannot set up the stream compressor");
    }
  }
  ~ZlibDeflater() { deflateEnd(&stream_); }
  ZlibDeflater(const ZlibDeflater&) = delete;
  ZlibDeflater& operator=(const ZlibDeflater&) = delete;
  z_stream& stream() { return stream_; }

 private:
  z_stream stream_;
};

// Reads the file's next chunk (nothing once it is read whole, when it must
// end there) and reports how far the file has been read.
size_t NextChunk(ScannedFile& scanned, uint8_t* buffer, uint64_t size,
                 const FileProgress& fileProgress) {
  const size_t want = static_cast<size_t>(std::min<uint64_t>(scanned.left(), COPY_CHUNK));
  if (want == 0) {
    scanned.ExpectEnd();
  } else {
    scanned.Read(buffer, want);
  }
  fileProgress(size - scanned.left());
  return want;
}

void CopyPlain(ContentSource& source, const TreeFile& file, std::FILE* spool,
               const FileProgress& fileProgress) {
  ScannedFile scanned(source, file.path, file.entry->size);
  std::vector<uint8_t> buffer(COPY_CHUNK);
  while (const size_t got = NextChunk(scanned, buffer.data(), file.entry->size, fileProgress)) {
    WriteOrThrow(spool, buffer.data(), got, "cannot write the scratch file");
  }
}

// Returns true when the stream came out strictly smaller than the file.
bool TryStreamDeflate(ContentSource& source, const TreeFile& file, int level, std::FILE* spool,
                      const FileProgress& fileProgress, uint64_t& storedSize) {
  ZlibDeflater deflater(level);
  z_stream& z = deflater.stream();
  ScannedFile scanned(source, file.path, file.entry->size);
  std::vector<uint8_t> in(COPY_CHUNK);
  std::vector<uint8_t> out(COPY_CHUNK);
  storedSize = 0;
  bool finished = false;
  while (!finished) {
    const size_t got = NextChunk(scanned, in.data(), file.entry->size, fileProgress);
    const int flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(got);
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      const int status = deflate(&z, flush);
      if (status == Z_STREAM_ERROR) throw PackageError(file.path, "the stream compressor failed");
      finished = status == Z_STREAM_END;
      const size_t produced = out.size() - z.avail_out;
      storedSize += produced;
      if (storedSize >= file.entry->size) return false;
      WriteOrThrow(spool, out.data(), produced, "cannot write the scratch file");
    } while (z.avail_out == 0 || (flush == Z_FINISH && !finished));
  }
  return true;
}

}  // namespace

StreamedFile StreamFile(ContentSource& source, const TreeFile& file, const WriterOptions& options,
                        std::FILE* spool, const FileProgress& fileProgress) {
  std::fpos_t start;
  if (std::fgetpos(spool, &start) != 0) ThrowIo("", "cannot use the scratch file");
  StreamedFile result;
  if (!options.store &&
      TryStreamDeflate(source, file, options.level, spool, fileProgress, result.storedSize)) {
    result.compressed = true;
    return result;
  }
  if (std::fsetpos(spool, &start) != 0) ThrowIo("", "cannot use the scratch file");
  CopyPlain(source, file, spool, fileProgress);
  result.storedSize = file.entry->size;
  return result;
}
