#include "builder/uninstaller.h"

#include <algorithm>
#include <cstring>

#include "builder/tree_rules.h"
#include "script/product_section.h"

namespace {

// The uninstaller's time in a tree without files: the start of the DOS
// epoch, as reproducible archives use.
constexpr EntryTime kNoFilesTime{1980, 1, 1, 0, 0, 0, 0};

// Rounds in which the record's deflated index may settle on a size. Each
// round changes a few bytes of one entry, so it settles within two or three;
// should its size keep flipping, the index is stored plain instead, whose
// size does not depend on what it records.
constexpr int kDeflatedRounds = 8;

void FindNewest(const TreeEntry& directory, const EntryTime** newest) {
  for (const TreeEntry& child : directory.children) {
    if (child.isDirectory) {
      FindNewest(child, newest);
    } else if (*newest == nullptr || IsLaterTime(child.time, **newest)) {
      *newest = &child.time;
    }
  }
}

class MemoryReader final : public ContentReader {
 public:
  explicit MemoryReader(std::string_view bytes) : bytes_(bytes) {}
  size_t Read(void* buffer, size_t size) override {
    const size_t n = std::min(size, bytes_.size());
    std::memcpy(buffer, bytes_.data(), n);
    bytes_.remove_prefix(n);
    return n;
  }

 private:
  std::string_view bytes_;
};

}  // namespace

bool WantsUninstaller(std::string_view script) {
  // The section reader ends lines in place.
  std::string copy(script);
  const ScriptText text{reinterpret_cast<uint8_t*>(copy.data()), copy.size()};
  return ReadProductSection(text, LocaleName{}).present;
}

void RefuseUninstallerName(const TreeEntry& root) {
  for (const TreeEntry& child : root.children) {
    if (SameFileName(child.name, UNINSTALLER_NAME)) {
      throw PackageError(child.name, std::string("the name is taken: with a [product] section the "
                                                 "setup installs its uninstaller as ") +
                                         UNINSTALLER_NAME + " at the top of the tree");
    }
  }
}

TreeEntry WithUninstaller(const TreeEntry& root, uint64_t size) {
  const EntryTime* newest = nullptr;
  FindNewest(root, &newest);
  TreeEntry uninstaller;
  uninstaller.name = UNINSTALLER_NAME;
  uninstaller.size = size;
  uninstaller.time = newest != nullptr ? *newest : kNoFilesTime;
  TreeEntry withIt = root;
  const auto at = std::lower_bound(
      withIt.children.begin(), withIt.children.end(), uninstaller.name,
      [](const TreeEntry& entry, const std::string& name) { return entry.name < name; });
  withIt.children.insert(at, std::move(uninstaller));
  return withIt;
}

uint64_t WriteUninstaller(std::string_view stub, std::string_view script, const TreeEntry& root,
                          std::FILE* out, const WriterOptions& options) {
  // The record holds the uninstaller's own size: look for the size that
  // recording it does not change.
  uint64_t size = 0;
  int round = 0;
  for (;; ++round) {
    const uint64_t next =
        RecordPackageSize(script, WithUninstaller(root, size), options, round >= kDeflatedRounds);
    if (next == size) break;
    size = next;
  }
  return WriteRecordPackage(stub, script, WithUninstaller(root, size), out, options,
                            round >= kDeflatedRounds);
}

std::unique_ptr<ContentReader> UninstallerSource::Open(const std::string& path) {
  if (path == UNINSTALLER_NAME) return std::make_unique<MemoryReader>(uninstaller_);
  return tree_.Open(path);
}
