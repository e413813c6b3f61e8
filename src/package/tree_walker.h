// Walking the file tree of a package: the walk itself, and the two that
// write it out (the whole tree below a target, or one file found by its
// path).
//
// The package may be hostile: every read of the index is bounds-checked and
// an entry cut short ends the walk; names are checked after decoding
// (IsSafeFileName) and an unusable one is skipped, a directory with its
// whole subtree; names over MAX_ENTRY_NAME_BYTES bytes and paths over
// MAX_ENTRY_PATH_UNITS units are skipped the same way, never shortened into
// another name. Skipped entries count for nothing: not in the progress, and
// no message is sent for them. The walk is iterative, so no index nests deep
// enough to exhaust the stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "package/entry_copy.h"
#include "package/extract_progress.h"
#include "package/package_format.h"
#include "package/package_reader.h"
#include "platform/input_file.h"
#include "platform/tree_output.h"

// Why an entry was not (fully) written.
enum ExtractIssue : int {
  EXTRACT_UNSAFE_NAME = 1,                       // a name IsSafeFileName refuses
  EXTRACT_NAME_TOO_LONG,                         // over MAX_ENTRY_NAME_BYTES bytes
  EXTRACT_PATH_TOO_LONG,                         // the built path over MAX_ENTRY_PATH_UNITS units
  EXTRACT_CREATE_FAILED,                         // the output file could not be created
  EXTRACT_DATA_CUT_SHORT = COPY_CUT_SHORT,       // the file ended before the stored size was read
  EXTRACT_INFLATE_FAILED = COPY_INFLATE_FAILED,  // the file's compressed data is damaged
  EXTRACT_WRITE_FAILED = COPY_WRITE_FAILED,      // the output refused bytes
  EXTRACT_INDEX_CUT_SHORT,                       // an entry was cut short by the end of the index
  EXTRACT_TREE_DAMAGED,    // the tree section is missing, cut short or does not inflate
  EXTRACT_LINK_IN_TARGET,  // a folder or file exists in the target as a link or junction
  EXTRACT_DISK_FULL,       // the volume filled up: this file and the rest were not written
};
static_assert(EXTRACT_DATA_CUT_SHORT == EXTRACT_CREATE_FAILED + 1 &&
              EXTRACT_INDEX_CUT_SHORT == EXTRACT_WRITE_FAILED + 1);
const char* DescribeExtractIssue(ExtractIssue issue);

// Told about the entries of one walk over an index, in index order.
class TreeVisitor {
 public:
  virtual ~TreeVisitor() = default;
  // A directory with a safe name and path; `path` is relative (names joined
  // by '\'). False passes over it with all it holds.
  virtual bool OnDirectory(std::u16string_view path, const IndexEntry& entry) = 0;
  // A file with a safe name and path; `name` is its decoded name,
  // NUL-terminated. False ends the walk.
  virtual bool OnFile(std::u16string_view path, const char16_t* name, const IndexEntry& entry) = 0;
  // An entry refused for its name or path (a directory with all it holds);
  // `parent` is the path of its directory.
  virtual void OnSkipped(ExtractIssue, std::u16string_view /*parent*/, const IndexEntry&,
                         bool /*isDirectory*/) {}
  // An entry inside a directory that was skipped or passed over, `depth`
  // levels below it (1: directly inside).
  virtual void OnPassedOver(const IndexEntry&, size_t /*depth*/) {}
};

// Walks the index of `tree`. `reservedUnits` is what precedes the relative
// path in the paths the limit applies to (a target and its separator). ENTRY_END
// and ENTRY_DIRECTORY_END both end the current level; entries of unknown
// types are passed over. False when an entry was cut short by the end of the
// index.
bool WalkTree(const PackageTree& tree, size_t reservedUnits, TreeVisitor& visitor);

// Told about each entry that was skipped or written incompletely.
class ExtractObserver {
 public:
  virtual ~ExtractObserver() = default;
  // `parent` is the relative path of the entry's directory (backslashes,
  // empty at the top); `name` the entry's raw UTF-8 name (empty for
  // EXTRACT_INDEX_CUT_SHORT).
  virtual void OnIssue(ExtractIssue issue, std::u16string_view parent, std::string_view name,
                       bool isDirectory) = 0;
  // A file put in place whole; `path` relative.
  virtual void OnWritten(std::u16string_view /*path*/) {}
};

struct ExtractStats {
  uint32_t filesWritten = 0;  // started, whether or not their data was whole
  uint32_t skipped = 0;  // entries refused for their name, path or a link (a subtree counts once)
  uint32_t failed = 0;   // files not created, or written incompletely
  bool indexCutShort = false;  // the index ended inside an entry, or the tree is damaged
  uint64_t storedTotal = 0;    // stored sizes of the files the walk took on
  bool diskFull = false;       // the walk stopped when the volume filled up
  uint64_t bytesWritten = 0;   // contents of the files put in place
  bool Clean() const { return skipped == 0 && failed == 0 && !indexCutShort && !diskFull; }
};

struct ExtractOptions {
  // How many UTF-16 units the target path itself takes in the paths the
  // limit applies to: the stub passes its real target's length; a native
  // extraction passes the shortest Windows target ("C:"), so that it accepts
  // exactly what a stub could install somewhere.
  size_t rootPathUnits = SHORTEST_TARGET_UNITS;
  ExtractProgress* progress = nullptr;
  ExtractObserver* observer = nullptr;
  // Threads that decode ahead of the writing (decode_ahead.h): 0 none,
  // kDecodeWorkersAuto as many as the processors and the memory allow.
  unsigned decodeWorkers = 0;
};
inline constexpr unsigned kDecodeWorkersAuto = ~0u;

// Writes the whole tree below `output`'s root: a counting walk that creates
// every directory and adds up the stored sizes, then a walk that writes each
// file, tells `progress` its name and percentage first, and gives it its
// entry time. With decodeWorkers, a file's data may have been decoded on
// another thread meanwhile: everything is written on the calling thread, in
// the same order, with the same outcomes. Files that cannot be created are
// skipped and still count towards the progress; a damaged file is not put in place (an old file of
// its name stays). When the volume fills up the walk ends there.
ExtractStats ExtractTree(InputFile& file, uint64_t treeOffset, TreeOutput& output,
                         const ExtractOptions& options);

// Finds the first file entry whose relative path (names joined by '\')
// equals `wantedPath`, exactly and case-sensitively, and writes it to
// `destination` inside `output`, with its entry time. True when it was found
// and its destination created.
bool FindAndExtractFile(InputFile& file, uint64_t treeOffset, std::u16string_view wantedPath,
                        TreeOutput& output, std::u16string_view destination);
