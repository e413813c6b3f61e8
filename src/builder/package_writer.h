// Writing a setup program: the stub, the digest, the script and the file
// tree, laid out as package_format.h describes. Part of the native builder
// only (it throws); the stub never links it.
//
// Files are compressed on several threads (parallel_compressor.h, or
// solid_writer.h) but written strictly in index order, with a bounded amount
// of data in flight: the compressed data area is spooled to a scratch file,
// then the output is assembled and hashed in one sequential pass. The same
// inputs give the same bytes for any number of threads. Files with identical
// contents are stored once unless asked otherwise; files streamed through
// zlib (stream_deflate.h) are always stored on their own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "builder/build_files.h"
#include "builder/tree_rules.h"
#include "package/package_format.h"

// The libdeflate level used unless the caller picks one: measured on the
// reference payload (bench/build-vs-makensis.sh) as the fastest level whose
// setup is not larger than NSIS's with zlib.
inline constexpr int DEFAULT_COMPRESSION_LEVEL = 6;
inline constexpr int MIN_COMPRESSION_LEVEL = 1;
inline constexpr int MAX_COMPRESSION_LEVEL = 12;

// The solid LZMA2 method's defaults, measured on the reference payload P1
// (bench/build-vs-makensis.sh --lzma2; its 550 MB of DLLs, with xz's raw
// LZMA2 at preset 6): a block starts with an empty dictionary, so fewer and
// larger blocks win. 32 MiB blocks gave 91.1 MB, one unbroken stream with an
// 8 MiB dictionary 88.5 MB, and 64 MiB blocks with a 64 MiB dictionary (the
// most a setup accepts) 88.3 MB. pb=0 (no position bits) gains 0.2-0.4 %
// on both the DLLs and the headers. Presets above 6 gained nothing, nor did
// the x86 branch filter: the DLLs are mostly debug information and
// resources, so it gained under 1 % on single large ones and lost 3 % on a
// 48 MB run of them. Each block costs a worker some
// 750 MB of match finder, and the setup some 64 MiB while it installs.
inline constexpr int DEFAULT_LZMA_PRESET = 6;
inline constexpr int MAX_LZMA_PRESET = 9;
inline constexpr uint32_t DEFAULT_SOLID_BLOCK_SIZE = 64u << 20;
inline constexpr uint32_t DEFAULT_SOLID_DICTIONARY_SIZE = 64u << 20;
static_assert(DEFAULT_SOLID_DICTIONARY_SIZE <= MAX_SOLID_DICTIONARY_SIZE);

// Files above this size are deflated in a stream through zlib instead of
// whole in memory through libdeflate.
inline constexpr uint64_t DEFAULT_STREAM_THRESHOLD = uint64_t{256} << 20;

struct WriterOptions {
  // TREE_METHOD_PER_FILE: each file deflated on its own (libdeflate level
  // `level`); TREE_METHOD_SOLID_LZMA2: one LZMA2 stream of every file (LZMA
  // preset `level`), in blocks; identical files are then not shared.
  TreeMethod method = TREE_METHOD_PER_FILE;
  int level = DEFAULT_COMPRESSION_LEVEL;
  uint32_t solidBlockSize = DEFAULT_SOLID_BLOCK_SIZE;
  uint32_t solidDictionarySize = DEFAULT_SOLID_DICTIONARY_SIZE;
  unsigned jobs = 1;
  bool store = false;  // no compression at all
  // Files with the same contents share one copy in the data area: their
  // entries carry the same offset, stored size and flags. Off, the data area
  // holds every file in index order with consecutive offsets.
  bool shareIdenticalFiles = true;
  uint64_t streamThreshold = DEFAULT_STREAM_THRESHOLD;
  // Input and output bytes of files compressed ahead of the writer; one file
  // is always allowed, whatever its size.
  uint64_t memoryBudget = uint64_t{512} << 20;
};

struct WriterProgress {
  uint64_t filesDone = 0;
  uint64_t filesTotal = 0;
  uint64_t bytesDone = 0;
  uint64_t bytesTotal = 0;
};
using ProgressCallback = std::function<void(const WriterProgress&)>;

struct WriterResult {
  uint64_t files = 0;
  uint64_t inputBytes = 0;   // file contents before compression
  uint64_t outputBytes = 0;  // the whole setup program
};

// How one file went into the data area.
struct StoredFile {
  uint32_t flags = 0;
  uint32_t storedSize = 0;
  uint32_t offset = 0;
};

// The index for `root` (sorted) with `stored` holding every file in index
// order.
std::string EncodeIndex(const TreeEntry& root, const std::vector<StoredFile>& stored);

// Writes the setup program to `out` (empty, binary, at position 0), using
// `spool` (empty, binary, read-write) as scratch. `stub` must be STUB_SIZE
// bytes, `script` validated and `root` sorted and validated (tree_rules.h).
// The output is ready to be signed: the stub's PE CheckSum and security entry
// are written as zero, and the package is padded to a multiple of
// PACKAGE_ALIGNMENT. Throws PackageError.
WriterResult WritePackage(std::string_view stub, std::string_view script, const TreeEntry& root,
                          ContentSource& source, std::FILE* spool, std::FILE* out,
                          const WriterOptions& options, const ProgressCallback& progress = {});

// A package whose tree is a record of `root` (package_format.h, method 2):
// every entry of `root` (sorted), each file with its scanned size, offset 0
// and flags 0, and an empty data area; digest and padding as WritePackage
// writes them. The script and the index are stored as WritePackage stores
// them with the same `options`, unless `plainIndex` keeps the index as it
// is: then the package's size does not depend on the sizes it records.
// Throws PackageError (a file of 4 GiB or more, a stub of the wrong size).
uint64_t WriteRecordPackage(std::string_view stub, std::string_view script, const TreeEntry& root,
                            std::FILE* out, const WriterOptions& options, bool plainIndex = false);
// The bytes WriteRecordPackage would write, without writing them.
uint64_t RecordPackageSize(std::string_view script, const TreeEntry& root,
                           const WriterOptions& options, bool plainIndex = false);
