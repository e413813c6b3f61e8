// A file system in memory behind the TreeOutput seam, for tests and fuzzing.
// It behaves like a real one where the extraction can tell: a directory or
// file needs its parent directory, a file cannot replace a directory, an
// existing directory cannot be made again, and a file appears whole when it
// is closed or not at all. It also records every path it was handed whose
// components are not all safe names: a correct caller never hands it one.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/tree_output.h"

class MemoryTreeOutput final : public TreeOutput {
 public:
  struct Node {
    bool isDirectory = false;
    std::vector<uint8_t> bytes;
    bool timeSet = false;
    EntryTime time;
  };

  DirectoryOutcome MakeDirectory(std::u16string_view relativePath) override;
  std::unique_ptr<OutputFile> CreateOutput(std::u16string_view relativePath,
                                           CreateRefusal* why = nullptr) override;
  bool SetEntryTime(std::u16string_view relativePath, const EntryTime& time) override;

  // Paths whose CreateOutput fails, as if the file were locked.
  std::set<std::u16string> refuse;
  // Paths that exist as links elsewhere (to directories, or to files).
  std::set<std::u16string> links;
  // Writes beyond this many bytes per file fail.
  size_t writeLimit = SIZE_MAX;
  // Writes beyond this many bytes in all fill the volume.
  uint64_t spaceLimit = UINT64_MAX;
  void NoteFull() { NoteDiskFull(); }

  std::map<std::u16string, Node> nodes;  // "" is the root once made
  std::vector<std::u16string> unsafePaths;
  uint64_t bytesWritten = 0;

  const Node* Find(std::u16string_view path) const;

 private:
  bool Accept(std::u16string_view relativePath);
  bool ParentIsDirectory(std::u16string_view relativePath) const;
};
