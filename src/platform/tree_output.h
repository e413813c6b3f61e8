// The seam between the tree extraction and the file system it writes to.
// Twin implementations live in platform/posix and platform/win32;
// MemoryTreeOutput (memory_tree_output.h) serves tests and fuzzing.
//
// Paths handed to a TreeOutput are relative to its root: entry names joined
// by single backslashes, each name already checked by the caller
// (IsSafeFileName, windows_name.h), so no path can leave the root. The empty
// path is the root itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "base/entry_time.h"

// A file being written. Writes may be buffered; Close flushes them.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // Appends `size` bytes. False when they could not all be written.
  virtual bool Write(const void* data, size_t size) = 0;
  // Writes what is buffered and closes the file. False when that failed.
  // Further calls do nothing and return the first result.
  virtual bool Close() = 0;
  // Writes what is buffered and gives the still open file all its times
  // (UTC; the caller checked IsValidEntryTime), so that no second open is
  // needed. Nothing may be written afterwards. False when this output cannot
  // do it: the caller then uses TreeOutput::SetEntryTime after closing.
  virtual bool SetTime(const EntryTime&) { return false; }
};

// What MakeDirectory did or found in the way.
enum class DirectoryOutcome : uint8_t {
  kMade,
  kExisting,  // a directory of that name was there already
  kFailed,    // not made: the files below fail on their own
  // A symbolic link or junction of that name was there: the tree must not
  // go through it, since it can lead anywhere (a system folder).
  kLink,
};

class TreeOutput {
 public:
  virtual ~TreeOutput() = default;
  // Creates the directory (the root for an empty path, whose outcome is
  // only kMade or kFailed).
  virtual DirectoryOutcome MakeDirectory(std::u16string_view relativePath) = 0;
  // Creates the file, or empties an existing one, for writing. Null when
  // that fails, including when the path leads through or to a symbolic link.
  virtual std::unique_ptr<OutputFile> CreateOutput(std::u16string_view relativePath) = 0;
  // Sets the creation (where there is one), access and modification times of
  // a closed file to `time` (UTC; the caller checked IsValidEntryTime). False
  // when the file could not be opened or changed.
  virtual bool SetEntryTime(std::u16string_view relativePath, const EntryTime& time) = 0;
};

// The output rooted at `root` (UTF-16, NUL-terminated). The root itself is
// created by MakeDirectory(u""). Null only when memory runs out.
std::unique_ptr<TreeOutput> OpenTreeOutput(const char16_t* root);

// Gives the existing file at `path` all three times from `time`. False when
// the time is not valid or the file cannot be changed.
bool SetFileTimeFromEntry(const EntryTime& time, const char16_t* path);
