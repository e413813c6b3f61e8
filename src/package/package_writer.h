// Writing a setup program: the stub, the digest, the script and the file
// tree, laid out as package_format.h describes. Part of the native builder
// only (it throws); the stub never links it.
//
// Files are compressed on several threads but written strictly in index
// order, with a bounded amount of data in flight: the compressed data area
// is spooled to a scratch file, then the output is assembled and hashed in
// one sequential pass. The same inputs give the same bytes for any number of
// threads. Files with identical contents are stored once unless asked
// otherwise; files streamed through zlib are always stored on their own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "package/package_format.h"

// The libdeflate level used unless the caller picks one: measured on the
// reference payload (bench/build-vs-makensis.sh) as the fastest level whose
// setup is not larger than NSIS's with zlib.
inline constexpr int DEFAULT_COMPRESSION_LEVEL = 6;
inline constexpr int MIN_COMPRESSION_LEVEL = 1;
inline constexpr int MAX_COMPRESSION_LEVEL = 12;

// The solid LZMA2 method's defaults, measured on 96 MB of the reference
// payload's DLLs: 8 MiB blocks came out 23 % larger than 32 MiB ones, while
// 32 MiB blocks with a 32 MiB dictionary were within 0.3 % of one unbroken
// stream with NSIS's 8 MiB dictionary; presets above 6 and the x86 branch
// filter gained nothing there (the filter lost 0.8 %). 32 MiB blocks still
// give two cores some twenty blocks to share on P1
// (bench/build-vs-makensis.sh --lzma2), and the dictionary, never larger than
// a block, is what bounds the setup's memory while it installs.
inline constexpr int DEFAULT_LZMA_PRESET = 6;
inline constexpr int MAX_LZMA_PRESET = 9;
inline constexpr uint32_t DEFAULT_SOLID_BLOCK_SIZE = 32u << 20;
inline constexpr uint32_t DEFAULT_SOLID_DICTIONARY_SIZE = 32u << 20;

// Files above this size are deflated in a stream through zlib instead of
// whole in memory through libdeflate.
inline constexpr uint64_t DEFAULT_STREAM_THRESHOLD = uint64_t{256} << 20;

// A refusal or a failure, with the path (relative to the tree, '/'-separated)
// it concerns; the path is empty when the problem is not about one entry.
class PackageError : public std::runtime_error {
 public:
  PackageError(std::string path, const std::string& message)
      : std::runtime_error(message), path_(std::move(path)) {}
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// One scanned entry. The root is a directory with an empty name.
struct TreeEntry {
  std::string name;  // UTF-8, exactly as it goes into the index
  bool isDirectory = false;
  EntryTime time;                   // files only
  uint64_t size = 0;                // files only: the size when scanned
  std::vector<TreeEntry> children;  // directories only
};

// Reads one file's contents. Read returns the bytes read, 0 at the end; it
// throws PackageError on a read error.
class ContentReader {
 public:
  virtual ~ContentReader() = default;
  virtual size_t Read(void* buffer, size_t size) = 0;
};

// Opens files by their relative path. Called from several threads at once.
class ContentSource {
 public:
  virtual ~ContentSource() = default;
  virtual std::unique_ptr<ContentReader> Open(const std::string& path) = 0;
};

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

// Puts every directory's children in index order: bytewise by UTF-8 name.
void SortTree(TreeEntry& root);

// Refuses, naming the entry, what the stub cannot install faithfully: names
// that are malformed UTF-8, outside the BMP, longer than
// MAX_ENTRY_NAME_BYTES, unsafe on Windows (entry_name.h), or equal to a
// sibling's but for letter case; relative paths longer than
// MAX_RELATIVE_PATH_UNITS.
void ValidateTree(const TreeEntry& root);

// Refuses, naming the line, a script that is not well-formed UTF-8, holds a
// NUL byte or a character outside the BMP (what the linter calls errors of
// encoding), or is too long for the format.
void ValidateScript(std::string_view script);

// The index for `root` (sorted) with `stored` holding every file in index
// order.
std::string EncodeIndex(const TreeEntry& root, const std::vector<StoredFile>& stored);

// Converts a POSIX time (seconds since 1970 UTC plus nanoseconds) to an entry
// time with hundredths rounded down. False when the year is outside
// 1601..30827, the range of a Windows SYSTEMTIME.
bool EntryTimeFromUnix(int64_t seconds, uint32_t nanoseconds, EntryTime* time);

// Writes the setup program to `out` (empty, binary, at position 0), using
// `spool` (empty, binary, read-write) as scratch. `stub` must be STUB_SIZE
// bytes and `root` sorted and validated. The output is ready to be signed:
// the stub's PE CheckSum and security entry are written as zero, and the
// package is padded to a multiple of PACKAGE_ALIGNMENT. Throws PackageError.
WriterResult WritePackage(std::string_view stub, std::string_view script, const TreeEntry& root,
                          ContentSource& source, std::FILE* spool, std::FILE* out,
                          const WriterOptions& options, const ProgressCallback& progress = {});
