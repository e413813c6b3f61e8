// Copying one file entry's contents out of a package: stored bytes as they
// are, a deflated file inflated chunk by chunk through a small window, a
// file of a solid tree out of the decoded stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "package/package_format.h"
#include "package/package_reader.h"
#include "package/solid_stream.h"
#include "platform/input_file.h"
#include "platform/tree_output.h"

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

// The values are those of the extraction's issues (tree_walker.h).
enum CopyResult : int {
  COPY_OK = 0,
  COPY_CUT_SHORT = SOLID_CUT_SHORT,
  COPY_INFLATE_FAILED = SOLID_DAMAGED,
  COPY_WRITE_FAILED = SOLID_WRITE_FAILED,
};

// Copies the contents of file entry `entry` to `out`: per file, its stored
// bytes at the data base + its offset, inflated when ENTRY_COMPRESSED is set
// (reading stops at the stored size or the end of the file); in a solid tree,
// its bytes of the decoded stream. A damaged solid block gives
// COPY_INFLATE_FAILED before any of its bytes is written; a method this
// reader does not know gives it without writing anything.
CopyResult CopyEntryData(InputFile& file, const PackageTree& tree, const IndexEntry& entry,
                         OutputFile& out, CopyBuffers& buffers);
