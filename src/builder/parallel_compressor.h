// Deflating the files of ordinary size on worker threads, ahead of the
// writer that puts them into the data area in index order. Part of the
// native builder only (it throws).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "builder/build_files.h"
#include "builder/package_writer.h"

struct libdeflate_compressor;

// libdeflate's raw deflate at one level, for one thread at a time.
class Deflater {
 public:
  explicit Deflater(int level);
  ~Deflater();
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;
  // Compresses into `out` (`capacity` bytes); 0 when it does not fit.
  size_t Compress(const uint8_t* in, size_t size, uint8_t* out, size_t capacity);

 private:
  libdeflate_compressor* compressor_;
};

// Bytes as they go into a package, with whether they are deflated.
struct StoredBytes {
  std::unique_ptr<uint8_t[]> data;
  size_t length = 0;
  bool compressed = false;
};

// The raw deflate of `data` (`size` bytes) when it is strictly smaller, else
// `data` itself; always `data` without a deflater. `inflatedWhole`: the
// bytes are the script or the index, which readers inflate whole and refuse
// as damaged past InflateCeiling, so a deflate that would pass it is not
// taken either.
StoredBytes StoreSmaller(Deflater* deflater, std::unique_ptr<uint8_t[]> data, size_t size,
                         bool inflatedWhole);

// Identifies a file's contents: its size and SHA-1.
using ContentKey = std::string;

// One file's bytes as they go into the data area.
struct CompressedFile {
  StoredBytes stored;
  ContentKey key;         // set when identical files are shared
  bool repeated = false;  // an earlier file has the same contents; no data
  bool ready = false;
  std::exception_ptr error;
};

// Workers claim files in index order, so the file the writer waits for is
// always claimed first, and run ahead of the writer by a bounded number of
// files and bytes (WriterOptions::memoryBudget). Empty files and files for
// the zlib stream (over WriterOptions::streamThreshold) are left to the
// writer. When identical files are shared, a worker skips compressing a file
// whose contents an earlier file (in index order) already has: the writer
// meets that one first and reuses its data.
class ParallelCompressor {
 public:
  ParallelCompressor(const std::vector<TreeFile>& files, ContentSource& source,
                     const WriterOptions& options);
  ~ParallelCompressor();
  ParallelCompressor(const ParallelCompressor&) = delete;
  ParallelCompressor& operator=(const ParallelCompressor&) = delete;

  // Whether file i is compressed here.
  bool Handles(size_t i) const;
  // Waits for file i; rethrows the error its worker met.
  CompressedFile Take(size_t i);
  // The writer is done with every file up to and including i.
  void Passed(size_t i);

 private:
  uint64_t Cost(size_t i) const { return 2 * files_[i].entry->size; }
  bool CanStart(size_t i) const;
  void Stop();
  void Work();
  // True when a file before i has the same contents.
  bool ClaimContents(size_t i, const ContentKey& key);
  void Fill(size_t i, Deflater* deflater, CompressedFile& file);

  const std::vector<TreeFile>& files_;
  ContentSource& source_;
  const WriterOptions& options_;
  std::vector<CompressedFile> slots_;
  size_t maxAhead_ = 4;

  std::mutex mutex_;
  std::condition_variable workReady_;
  std::condition_variable slotReady_;
  size_t next_ = 0;
  size_t passed_ = 0;
  uint64_t inFlight_ = 0;
  bool stop_ = false;
  std::unordered_map<ContentKey, size_t> firstWithContents_;
  std::vector<std::thread> workers_;
};
