// The seam between the tree extraction and the file system it writes to.
// Twin implementations live in platform/posix and platform/win32;
// MemoryTreeOutput (memory_tree_output.h) serves tests and fuzzing.
//
// Paths handed to a TreeOutput are relative to its root: entry names joined
// by single backslashes, each name already checked by the caller
// (IsSafeFileName, windows_name.h), so no path can leave the root. The empty
// path is the root itself.
//
// Every platform keeps two rules when it writes a file. An existing name is
// never opened for writing: the new bytes go to a new file under a temporary
// name (temporary_name.h) on the same volume (in the same folder, or in a
// folder of the output's own below the root), which Close puts in place
// with one rename. So a link planted at the name never receives them, another
// hard-linked name keeps its data, and at any instant the name holds either
// the whole old file or the whole new one. And nothing is written through a
// symbolic link, junction or other reparse point below the root.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "base/entry_time.h"

// A file being written under its temporary name. Writes may be buffered.
class OutputFile {
 public:
  // Dropping an output that was not closed discards it.
  virtual ~OutputFile() = default;
  // Appends `size` bytes. False when they could not all be written.
  virtual bool Write(const void* data, size_t size) = 0;
  // Writes what is buffered and puts the file in place, replacing the plain
  // file of that name if there is one. False when any of that failed: the
  // temporary file is then gone and an old file keeps its bytes. Further
  // calls do nothing and return the first result.
  virtual bool Close() = 0;
  // Removes the unfinished file; an old file of that name keeps its bytes.
  // Nothing may be written afterwards; after Close it does nothing. (A sink
  // that keeps nothing has nothing to remove.)
  virtual void Discard() {}
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

// Why CreateOutput gave no file.
enum class CreateRefusal : uint8_t {
  kFailed,    // the folder is missing or refuses a new file, or a folder has the name
  kLink,      // the name is a symbolic link or other reparse point: left as it is
  kDiskFull,  // the volume has no room left
};

// Asked when a finished file cannot be put in place because the name is in
// use (a running program holds the old file). The Windows output asks; POSIX
// never needs to.
class ReplaceHandler {
 public:
  virtual ~ReplaceHandler() = default;
  // `reason` is the system's own description. True: try once more.
  virtual bool RetryReplace(std::u16string_view relativePath, const char16_t* reason) = 0;
  // The new file waits beside the old one and replaces it at the next
  // restart of the system.
  virtual void ReplacedAtRestart(std::u16string_view relativePath) = 0;
};

class TreeOutput {
 public:
  virtual ~TreeOutput() = default;
  // Creates the directory (the root for an empty path, whose outcome is
  // only kMade or kFailed). A directory that exists already loses the
  // temporary files an interrupted extraction left in it.
  virtual DirectoryOutcome MakeDirectory(std::u16string_view relativePath) = 0;
  // Starts a new file that Close puts in place at `relativePath`. Null when
  // that cannot be done, `why` (when given) saying why.
  virtual std::unique_ptr<OutputFile> CreateOutput(std::u16string_view relativePath,
                                                   CreateRefusal* why = nullptr) = 0;
  // Sets the creation (where there is one), access and modification times of
  // a closed file to `time` (UTC; the caller checked IsValidEntryTime). False
  // when the file could not be opened or changed.
  virtual bool SetEntryTime(std::u16string_view relativePath, const EntryTime& time) = 0;
  // True once a write, a creation or a rename failed for want of space on
  // the volume: whatever follows would fail alike. (An output that passes
  // its work on to another answers for that one.)
  virtual bool DiskFull() const { return diskFull_; }

 protected:
  void NoteDiskFull() { diskFull_ = true; }

 private:
  bool diskFull_ = false;
};

// The output rooted at `root` (UTF-16, NUL-terminated). The root itself is
// created by MakeDirectory(u""). `replace`, when given, is asked about names
// in use (it must outlive the output). Null only when memory runs out.
std::unique_ptr<TreeOutput> OpenTreeOutput(const char16_t* root, ReplaceHandler* replace = nullptr);

// Gives the existing file at `path` all three times from `time`. False when
// the time is not valid or the file cannot be changed.
bool SetFileTimeFromEntry(const EntryTime& time, const char16_t* path);
