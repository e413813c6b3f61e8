// Files too large to compress in memory, deflated in a stream through zlib
// straight into the spool. Part of the native builder only (it throws).
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>

#include "builder/build_files.h"
#include "builder/package_writer.h"

struct StreamedFile {
  uint64_t storedSize = 0;
  bool compressed = false;
};

// Reports how many of the current file's bytes have been read.
using FileProgress = std::function<void(uint64_t)>;

// Appends `file` to `spool`: deflated at `options.level` (zlib's levels end
// at 9) when the stream comes out strictly smaller than the file, else, as
// soon as it stops being smaller, its plain bytes instead (the spool is
// rewound to where the file began). Plain with `options.store`.
StreamedFile StreamFile(ContentSource& source, const TreeFile& file, const WriterOptions& options,
                        std::FILE* spool, const FileProgress& fileProgress);
