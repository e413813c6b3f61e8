// Reading the file tree of a package: its index, the data of one file, and
// the two walks that write it out (the whole tree below a target, or one file
// found by its path).
//
// The package may be hostile: every read of the index is bounds-checked and
// an entry cut short ends the walk; names are checked after decoding
// (IsSafeEntryName) and an unusable one is skipped, a directory with its
// whole subtree; names over MAX_ENTRY_NAME_BYTES bytes and paths over
// MAX_ENTRY_PATH_UNITS units are skipped the same way, never shortened into
// another name. Skipped entries count for nothing: not in the progress, and
// no message is sent for them. The walk is iterative, so no index nests deep
// enough to exhaust the stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "package/extract_progress.h"
#include "package/package_format.h"
#include "package/solid_stream.h"
#include "platform/input_file.h"
#include "platform/tree_output.h"

// The index of a tree section, read and inflated, with where its data lies.
struct PackageTree {
  PackageTree() = default;
  ~PackageTree();
  PackageTree(const PackageTree&) = delete;
  PackageTree& operator=(const PackageTree&) = delete;

  uint8_t* index = nullptr;  // owned, freed with free()
  size_t indexLength = 0;    // inflated length when compressed
  bool indexCompressed = false;
  uint8_t method = TREE_METHOD_PER_FILE;  // TreeMethod, or an unknown value
  uint32_t storedIndexLength = 0;         // as declared in the section
  uint32_t dataAreaLength = 0;            // as declared; not trusted
  uint64_t dataBase = 0;                  // absolute file offset of the data area
  // The section is missing or cut short, or its index failed to inflate or
  // passed its ceiling (InflateCeiling).
  bool damaged = false;
};

// Reads the tree section at `treeOffset`. An index length past the end of
// the file is cut to the bytes present, and an index that fails to inflate is
// what it inflated to (up to its ceiling); both mark the tree damaged. False
// only when memory runs out.
bool OpenPackageTree(InputFile& file, uint64_t treeOffset, PackageTree* tree);

// Why an entry was not (fully) written.
enum ExtractIssue : int {
  EXTRACT_UNSAFE_NAME = 1,  // a name IsSafeEntryName refuses
  EXTRACT_NAME_TOO_LONG,    // over MAX_ENTRY_NAME_BYTES bytes
  EXTRACT_PATH_TOO_LONG,    // the built path over MAX_ENTRY_PATH_UNITS units
  EXTRACT_CREATE_FAILED,    // the output file could not be created
  EXTRACT_DATA_CUT_SHORT,   // the file ended before the stored size was read
  EXTRACT_INFLATE_FAILED,   // the deflate stream is damaged
  EXTRACT_WRITE_FAILED,     // the output refused bytes
  EXTRACT_INDEX_CUT_SHORT,  // an entry was cut short by the end of the index
  EXTRACT_TREE_DAMAGED,     // the tree section is missing, cut short or does not inflate
  EXTRACT_LINK_IN_TARGET,   // a directory exists in the target as a link or junction
};
const char* DescribeExtractIssue(ExtractIssue issue);

// Told about each entry that was skipped or written incompletely.
class ExtractObserver {
 public:
  virtual ~ExtractObserver() = default;
  // `parent` is the relative path of the entry's directory (backslashes,
  // empty at the top); `name` the entry's raw UTF-8 name (empty for
  // EXTRACT_INDEX_CUT_SHORT).
  virtual void OnIssue(ExtractIssue issue, std::u16string_view parent, std::string_view name,
                       bool isDirectory) = 0;
};

struct ExtractStats {
  uint32_t filesWritten = 0;  // created, whether or not their data was whole
  uint32_t skipped = 0;  // entries refused for their name, path or a link (a subtree counts once)
  uint32_t failed = 0;   // files not created, or written incompletely
  bool indexCutShort = false;  // the index ended inside an entry, or the tree is damaged
  uint64_t storedTotal = 0;    // stored sizes of the files the walk took on
  bool Clean() const { return skipped == 0 && failed == 0 && !indexCutShort; }
};

struct ExtractOptions {
  // How many UTF-16 units the target path itself takes in the paths the
  // limit applies to: the stub passes its real target's length; a native
  // extraction passes the shortest Windows target ("C:"), so that it accepts
  // exactly what a stub could install somewhere.
  size_t rootPathUnits = 2;
  ExtractProgress* progress = nullptr;
  ExtractObserver* observer = nullptr;
};

// Writes the whole tree below `output`'s root: a counting walk that creates
// every directory and adds up the stored sizes, then a walk that writes each
// file, tells `progress` its name and percentage first, and gives it its
// entry time. Files that cannot be created are skipped and still count
// towards the progress; a damaged file ends where its data ends.
ExtractStats ExtractTree(InputFile& file, uint64_t treeOffset, TreeOutput& output,
                         const ExtractOptions& options);

// Finds the first file entry whose relative path (names joined by '\')
// equals `wantedPath`, exactly and case-sensitively, and writes it to
// `destination` inside `output`, with its entry time. True when it was found
// and its destination created.
bool FindAndExtractFile(InputFile& file, uint64_t treeOffset, std::u16string_view wantedPath,
                        TreeOutput& output, std::u16string_view destination);

// Scratch memory of a copy: a large input chunk and the 4096-byte inflate
// window, and the solid stream's decoder once a solid tree needs it.
// Allocated once per operation.
struct CopyBuffers {
  static constexpr size_t kInputChunk = 256 * 1024;
  CopyBuffers();
  ~CopyBuffers();
  CopyBuffers(const CopyBuffers&) = delete;
  CopyBuffers& operator=(const CopyBuffers&) = delete;
  uint8_t* input;   // kInputChunk bytes, null when memory ran out
  uint8_t* window;  // INFLATE_WINDOW_SIZE bytes
  std::unique_ptr<SolidStream> solid;
};

enum CopyResult : int {
  COPY_OK = 0,
  COPY_CUT_SHORT = EXTRACT_DATA_CUT_SHORT,
  COPY_INFLATE_FAILED = EXTRACT_INFLATE_FAILED,
  COPY_WRITE_FAILED = EXTRACT_WRITE_FAILED,
};

static_assert(int{COPY_CUT_SHORT} == SOLID_CUT_SHORT && int{COPY_INFLATE_FAILED} == SOLID_DAMAGED &&
              int{COPY_WRITE_FAILED} == SOLID_WRITE_FAILED);

// Copies the contents of file entry `entry` to `out`: per file, its stored
// bytes at the data base + its offset, inflated when ENTRY_COMPRESSED is set
// (reading stops at the stored size or the end of the file); in a solid tree,
// its bytes of the decoded stream. A damaged solid block gives
// COPY_INFLATE_FAILED before any of its bytes is written.
CopyResult CopyEntryData(InputFile& file, const PackageTree& tree, const IndexEntry& entry,
                         OutputFile& out, CopyBuffers& buffers);

// The stub-facing forms, by path. Both return 0, found or not; `stats`, when
// given, receives what ExtractTree reports.
int ExtractPackageTree(const char16_t* targetDir, const char16_t* stubPath, uint64_t treeOffset,
                       ExtractProgress* progress, ExtractStats* stats = nullptr);
// `destination` is a full path; its folder must exist.
int ExtractPackageFile(const char16_t* stubPath, uint64_t treeOffset, const char16_t* wantedPath,
                       const char16_t* destination);
