#include "builder/solid_writer.h"

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// Hands out the stream's bytes file after file, each held to the size it was
// scanned with.
class StreamSource {
 public:
  StreamSource(const std::vector<SolidInput>& files, ContentSource& source,
               const SolidProgress& progress)
      : files_(files), source_(source), progress_(progress) {}

  // Copies the next `size` bytes of the stream into `buffer`. Empty files
  // add nothing and are not opened; a call with size 0 passes the empty
  // files at the end.
  void Fill(uint8_t* buffer, uint64_t size) {
    for (;;) {
      while (next_ < files_.size() && files_[next_].size == 0) Passed();
      if (size == 0) return;
      const SolidInput& file = files_[next_];
      if (!current_) current_ = std::make_unique<ScannedFile>(source_, *file.path, file.size);
      const uint64_t want = std::min(size, current_->left());
      current_->Read(buffer, static_cast<size_t>(want));
      buffer += want;
      size -= want;
      bytesDone_ += want;
      if (current_->left() == 0) {
        current_->ExpectEnd();
        current_.reset();
        Passed();
      }
    }
  }

 private:
  void Passed() {
    ++next_;
    if (progress_) progress_(next_, bytesDone_);
  }

  const std::vector<SolidInput>& files_;
  ContentSource& source_;
  const SolidProgress& progress_;
  std::unique_ptr<ScannedFile> current_;
  size_t next_ = 0;
  uint64_t bytesDone_ = 0;
};

struct Block {
  std::unique_ptr<uint8_t[]> input;
  size_t inputSize = 0;
  std::unique_ptr<uint8_t[]> output;
  size_t outputSize = 0;
  std::exception_ptr error;
  bool ready = false;
};

void Compress(Block& block, const WriterOptions& options) {
  try {
    lzma_options_lzma lzma;
    if (lzma_lzma_preset(&lzma, static_cast<uint32_t>(options.level))) {
      throw PackageError("", "the LZMA preset must be 0 to 9");
    }
    lzma.dict_size = options.solidDictionarySize;
    lzma.pb = 0;  // smaller on code and text alike (package_writer.h)
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &lzma}, {LZMA_VLI_UNKNOWN, nullptr}};
    const size_t bound = lzma_stream_buffer_bound(block.inputSize);
    block.output = std::make_unique_for_overwrite<uint8_t[]>(bound);
    block.outputSize = 0;
    const lzma_ret result =
        lzma_raw_buffer_encode(filters, nullptr, block.input.get(), block.inputSize,
                               block.output.get(), &block.outputSize, bound);
    if (result != LZMA_OK) {
      throw PackageError("", result == LZMA_MEM_ERROR
                                 ? "out of memory compressing a block"
                                 : "the LZMA2 compressor failed (" + std::to_string(result) + ")");
    }
  } catch (...) {
    block.error = std::current_exception();
  }
}

// Workers claim blocks in stream order, read their bytes while they hold the
// lock (the files are read once, in order), and compress them outside it;
// the writer takes finished blocks in order. A block's slot is reused only
// once it is written, so at most 2 x jobs blocks are in memory.
class BlockQueue {
 public:
  BlockQueue(StreamSource& stream, const SolidHeader& header, uint64_t total,
             const WriterOptions& options, unsigned jobs)
      : stream_(stream), header_(header), total_(total), options_(options), slots_(2 * jobs) {
    try {
      for (unsigned i = 0; i < jobs; ++i) workers_.emplace_back([this] { Work(); });
    } catch (...) {
      Stop();
      throw;
    }
  }
  ~BlockQueue() { Stop(); }
  BlockQueue(const BlockQueue&) = delete;
  BlockQueue& operator=(const BlockQueue&) = delete;

  // Waits for block k; rethrows what its reading or compression met.
  Block& Take(uint32_t k) {
    std::unique_lock lock(mutex_);
    Block& block = slots_[k % slots_.size()];
    changed_.wait(lock, [&] { return block.ready || readError_; });
    if (readError_) std::rethrow_exception(readError_);
    if (block.error) std::rethrow_exception(block.error);
    return block;
  }

  void Written(uint32_t k) {
    {
      std::lock_guard lock(mutex_);
      Block& block = slots_[k % slots_.size()];
      block.ready = false;
      block.output.reset();
      nextWrite_ = k + 1;
    }
    changed_.notify_all();
  }

 private:
  void Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] {
        return stop_ || readError_ || nextClaim_ >= header_.blockCount ||
               nextClaim_ < nextWrite_ + slots_.size();
      });
      if (stop_ || readError_ || nextClaim_ >= header_.blockCount) return;
      const uint32_t k = nextClaim_++;
      Block& block = slots_[k % slots_.size()];
      const uint64_t start = uint64_t{k} * header_.blockSize;
      block.inputSize = static_cast<size_t>(std::min<uint64_t>(header_.blockSize, total_ - start));
      try {
        if (!block.input)
          block.input = std::make_unique_for_overwrite<uint8_t[]>(header_.blockSize);
        stream_.Fill(block.input.get(), block.inputSize);
      } catch (...) {
        readError_ = std::current_exception();
        changed_.notify_all();
        return;
      }
      lock.unlock();
      Compress(block, options_);
      lock.lock();
      block.ready = true;
      changed_.notify_all();
    }
  }

  void Stop() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    workers_.clear();
  }

  StreamSource& stream_;
  const SolidHeader& header_;
  const uint64_t total_;
  const WriterOptions& options_;
  std::vector<Block> slots_;
  std::mutex mutex_;
  std::condition_variable changed_;
  uint32_t nextClaim_ = 0;
  uint64_t nextWrite_ = 0;
  bool stop_ = false;
  std::exception_ptr readError_;
  std::vector<std::jthread> workers_;
};

}  // namespace

SolidArea WriteSolidArea(const std::vector<SolidInput>& files, ContentSource& source,
                         std::FILE* spool, const WriterOptions& options,
                         const SolidProgress& progress) {
  if (options.solidBlockSize < MIN_SOLID_BLOCK_SIZE) {
    throw PackageError("", "the block size must be at least " +
                               std::to_string(MIN_SOLID_BLOCK_SIZE / 1024) + " KiB");
  }
  if (options.solidDictionarySize > MAX_SOLID_DICTIONARY_SIZE ||
      options.solidDictionarySize < LZMA_DICT_SIZE_MIN) {
    throw PackageError("", "the dictionary must be 4 KiB to " +
                               std::to_string(MAX_SOLID_DICTIONARY_SIZE >> 20) + " MiB");
  }
  uint64_t total = 0;
  for (const SolidInput& file : files) total += file.size;
  SolidHeader header;
  header.streamLength = static_cast<uint32_t>(total);
  header.blockSize = options.solidBlockSize;
  header.blockCount = static_cast<uint32_t>((total + header.blockSize - 1) / header.blockSize);
  header.dictionaryProperty = Lzma2DictionaryProperty(options.solidDictionarySize);

  SolidArea area;
  area.head.resize(SOLID_HEADER_SIZE + size_t{header.blockCount} * SOLID_BLOCK_RECORD_SIZE);
  auto* head = reinterpret_cast<uint8_t*>(area.head.data());
  EncodeSolidHeader(head, header);

  StreamSource stream(files, source, progress);
  const unsigned jobs = std::max(1u, options.jobs);
  BlockQueue queue(stream, header, total, options, jobs);
  for (uint32_t k = 0; k < header.blockCount; ++k) {
    Block& block = queue.Take(k);
    SolidBlock record;
    record.storedSize = static_cast<uint32_t>(block.outputSize);
    record.crc =
        static_cast<uint32_t>(crc32(0, block.output.get(), static_cast<uInt>(block.outputSize)));
    EncodeSolidBlock(head + SOLID_HEADER_SIZE + size_t{k} * SOLID_BLOCK_RECORD_SIZE, record);
    WriteOrThrow(spool, block.output.get(), block.outputSize, "cannot write the scratch file");
    area.blocksLength += block.outputSize;
    queue.Written(k);
  }
  // A tree of empty files only has no block; its files still count as done.
  stream.Fill(nullptr, 0);
  return area;
}
