// The uninstaller a setup carries when its script has a plain [product]
// section: the stub again, with a package whose script is the setup's and
// whose tree is a record of what the setup installs (package_format.h,
// method 2). It goes into the setup's tree as UNINSTALLER_NAME, at the top.
// Part of the native builder only (it throws).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "builder/package_writer.h"

// True when `script` has a plain [product] section. Variants only replace
// its values for their locale; the tree, and so the uninstaller, is the same
// for every locale.
bool WantsUninstaller(std::string_view script);

// Refuses, naming the entry, a tree whose top holds a name Windows takes for
// UNINSTALLER_NAME.
void RefuseUninstallerName(const TreeEntry& root);

// `root` (sorted, without the uninstaller) with the uninstaller's entry at
// its top: `size` bytes, and the newest time of the tree's files (a fixed
// time when it has none), so that the same tree gives the same bytes.
TreeEntry WithUninstaller(const TreeEntry& root, uint64_t size);

// Writes the uninstaller of the setup made of `stub`, `script`, `root`
// (sorted, validated, without the uninstaller) and `options` to `out`
// (empty, at position 0). Its record lists every entry of `root` and its own
// entry, at the size written. Returns that size. Throws PackageError.
uint64_t WriteUninstaller(std::string_view stub, std::string_view script, const TreeEntry& root,
                          std::FILE* out, const WriterOptions& options);

// The setup's files: the uninstaller's bytes under UNINSTALLER_NAME, every
// other file from the tree.
class UninstallerSource final : public ContentSource {
 public:
  UninstallerSource(ContentSource& tree, std::string uninstaller)
      : tree_(tree), uninstaller_(std::move(uninstaller)) {}
  std::unique_ptr<ContentReader> Open(const std::string& path) override;

 private:
  ContentSource& tree_;
  const std::string uninstaller_;
};
