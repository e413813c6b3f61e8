// Writing the solid data area of a package (package_format.h): every file's
// contents, in index order, as one stream cut into blocks of a fixed size,
// each compressed on its own as raw LZMA2 through liblzma. Blocks are
// compressed on several threads and written in order, so the same inputs
// give the same bytes for any number of threads. Part of the native builder
// only (it throws).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "builder/package_writer.h"

struct SolidInput {
  const std::string* path;  // relative, '/'-separated
  uint64_t size;            // as scanned
};

struct SolidArea {
  std::string head;           // the area's head and block records
  uint64_t blocksLength = 0;  // the blocks' bytes, appended to the spool
};

// Reports the files whose bytes have all been read, and those bytes.
using SolidProgress = std::function<void(size_t filesDone, uint64_t bytesDone)>;

// Reads `files` in order through `source`, compresses their stream as
// `options` asks (solidBlockSize, solidDictionarySize, level as the LZMA
// preset, jobs) and appends the blocks to `spool`. File i lies in the stream
// at the sum of the sizes before it, which the caller keeps within 4 GiB.
// Throws PackageError.
SolidArea WriteSolidArea(const std::vector<SolidInput>& files, ContentSource& source,
                         std::FILE* spool, const WriterOptions& options,
                         const SolidProgress& progress);
