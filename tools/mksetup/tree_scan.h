// Walking the folder that becomes a package's file tree: tree_scan.cpp on
// POSIX systems, win32/tree_scan_win32.cpp on Windows (where reparse points,
// symbolic links and junctions alike, are what is refused as links).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "builder/build_files.h"

struct ScannedTree {
  TreeEntry root;  // sorted in index order, not yet validated
};

// Reads the folder `directory` with every file's size and modification time.
// Throws PackageError naming the entry for what a package cannot hold:
// symbolic links (unless `followLinks`), special files (fifos, sockets,
// devices), times outside the years 1601 to 30827, and entries that cannot
// be read. With `followLinks`, a link is stored as what it points at (as
// tar -h does); a link that points outside the folder, at nothing, or at a
// folder that holds it (a loop) is refused.
ScannedTree ScanTree(const std::string& directory, bool followLinks = false);

// Opens the files of a scanned tree by their relative path, refusing
// anything that is no longer a regular file (or, unless `followLinks`, a
// link).
class TreeContentSource final : public ContentSource {
 public:
  explicit TreeContentSource(std::string directory, bool followLinks = false)
      : directory_(std::move(directory)), followLinks_(followLinks) {}
  std::unique_ptr<ContentReader> Open(const std::string& path) override;

 private:
  std::string directory_;
  bool followLinks_;
};
