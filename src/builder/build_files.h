// What every part of the builder shares: the tree as scanned, the contents
// of its files (checked against the scan as they are read), the scratch and
// output files, and the error the builder throws. Part of the native builder
// only (it throws); the stub never links it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/entry_time.h"

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

// True when `a` is a later instant than `b`.
bool IsLaterTime(const EntryTime& a, const EntryTime& b);

// Gives every file of `root` whose time is later than `latest` that time
// instead, so that a tree built again later, or a copy of it, gives the same
// package (SOURCE_DATE_EPOCH).
void ClampFileTimes(TreeEntry& root, const EntryTime& latest);

// A file of the tree and its path in it ('/'-separated).
struct TreeFile {
  const TreeEntry* entry;
  std::string path;
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

// One file of the tree read through its source, holding it to the size it
// was scanned with: a file that changed since would make the index lie.
class ScannedFile {
 public:
  ScannedFile(ContentSource& source, const std::string& path, uint64_t size);
  // Fills `buffer` with the file's next `size` (at most left()) bytes;
  // throws when the file ends before them.
  void Read(void* buffer, size_t size);
  // Throws unless the file ends at its scanned size, all of it read.
  void ExpectEnd();
  uint64_t left() const { return size_ - done_; }

 private:
  std::unique_ptr<ContentReader> reader_;
  std::string path_;
  uint64_t size_;
  uint64_t done_ = 0;
};

// Writes `size` bytes, throwing "`what`: <the system's reason>" when that fails.
void WriteOrThrow(std::FILE* file, const void* data, size_t size, const char* what);
[[noreturn]] void ThrowIo(const std::string& path, const char* what);
