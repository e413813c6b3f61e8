#include "installer/win32/free_space.h"

#include <windows.h>

#include "base/utf8.h"
#include "installer/install_space.h"
#include "package/tree_walker.h"
#include "platform/win32/wide_text.h"
#include "platform/windows_path.h"

namespace {

// Clusters are what files take; NTFS's usual one when the volume won't say.
constexpr uint64_t kDefaultCluster = 4096;

uint64_t ClusterBytes(const std::u16string& folder) {
  wchar_t volume[MAX_PATH + 1];
  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD clusters = 0;
  if (!GetVolumePathNameW(AsWide(folder), volume, MAX_PATH + 1) ||
      !GetDiskFreeSpaceW(volume, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) {
    return kDefaultCluster;
  }
  return uint64_t{sectorsPerCluster} * bytesPerSector;
}

class SpaceVisitor final : public TreeVisitor {
 public:
  SpaceVisitor(const std::u16string& target, bool targetIsNew, uint64_t cluster)
      : target_(target), targetIsNew_(targetIsNew), need_(cluster) {}

  bool OnDirectory(std::u16string_view, const IndexEntry&) override { return true; }
  bool OnFile(std::u16string_view path, const char16_t*, const IndexEntry& entry) override {
    need_.Add(entry.storedSize, targetIsNew_ ? 0 : ExistingBytes(path));
    return true;
  }
  uint64_t Peak() const { return need_.Peak(); }

 private:
  // The plain file a tree file replaces; a link or folder is not replaced.
  uint64_t ExistingBytes(std::u16string_view path) const {
    WIN32_FILE_ATTRIBUTE_DATA data;
    const std::u16string full = LongPathForm(Concat({target_, u"\\", path}));
    if (!GetFileAttributesExW(AsWide(full), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
      return 0;
    }
    return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  }

  const std::u16string& target_;
  bool targetIsNew_;
  SpaceNeed need_;
};

}  // namespace

SpaceCheck MeasureSpace(InputFile& file, uint64_t treeOffset, const std::u16string& target,
                        bool targetIsNew) {
  SpaceCheck check;
  ULARGE_INTEGER available;
  const std::u16string folder = DirectoryForm(target);
  if (!GetDiskFreeSpaceExW(AsWide(folder), &available, nullptr, nullptr)) return check;
  check.free = available.QuadPart;
  PackageTree tree;
  if (!OpenPackageTree(file, treeOffset, &tree)) return check;
  SpaceVisitor visitor(target, targetIsNew, ClusterBytes(folder));
  WalkTree(tree, target.size() + 1, visitor);
  check.needed = visitor.Peak();
  return check;
}
