#include "installer/removal_plan.h"

#include <algorithm>
#include <cstdint>

#include "package/tree_walker.h"

namespace {

class PathCollector final : public TreeVisitor {
 public:
  bool OnDirectory(std::u16string_view path, const IndexEntry&) override {
    folders.emplace_back(path);
    return true;
  }
  bool OnFile(std::u16string_view path, const char16_t*, const IndexEntry&) override {
    files.emplace_back(path);
    return true;
  }
  std::vector<std::u16string> files;
  std::vector<std::u16string> folders;  // parents before their children
};

}  // namespace

namespace {

// The paths a plan keeps, found by a hash of their folded form and then
// compared: sorting numbers costs the stub less code than a set of strings.
class KeptPaths {
 public:
  explicit KeptPaths(FoldPath fold) : fold_(fold) {}
  void Add(std::u16string_view path) {
    paths_.push_back(fold_(path));
    order_.push_back(uint64_t{Hash(paths_.back())} << 32 | (paths_.size() - 1));
  }
  void Seal() { std::sort(order_.begin(), order_.end()); }
  bool Holds(std::u16string_view path) const {
    const std::u16string folded = fold_(path);
    const uint64_t hash = uint64_t{Hash(folded)} << 32;
    for (auto at = std::lower_bound(order_.begin(), order_.end(), hash);
         at != order_.end() && (*at & ~uint64_t{0xFFFFFFFF}) == hash; ++at) {
      if (paths_[*at & 0xFFFFFFFF] == folded) return true;
    }
    return false;
  }

 private:
  static uint32_t Hash(std::u16string_view text) {
    uint32_t hash = 2166136261u;  // FNV-1a
    for (char16_t c : text) hash = (hash ^ c) * 16777619u;
    return hash;
  }
  FoldPath fold_;
  std::vector<std::u16string> paths_;
  std::vector<uint64_t> order_;  // hash << 32 | index into paths_
};

}  // namespace

RemovalPlan PlanRemoval(const PackageTree& record, const PackageTree* kept, size_t rootUnits,
                        std::u16string_view skip, FoldPath fold) {
  PathCollector listed;
  WalkTree(record, rootUnits + 1, listed);
  KeptPaths keep(fold);
  if (!skip.empty()) keep.Add(skip);
  if (kept != nullptr) {
    PathCollector staying;
    WalkTree(*kept, rootUnits + 1, staying);
    for (const std::u16string& path : staying.files) keep.Add(path);
    for (const std::u16string& path : staying.folders) keep.Add(path);
  }
  keep.Seal();
  RemovalPlan plan;
  for (std::u16string& path : listed.files) {
    if (!keep.Holds(path)) plan.files.push_back(std::move(path));
  }
  // A child's entry follows its parent's, so the reverse order empties every
  // folder before its parent is tried.
  for (auto folder = listed.folders.rbegin(); folder != listed.folders.rend(); ++folder) {
    if (!keep.Holds(*folder)) plan.folders.push_back(std::move(*folder));
  }
  return plan;
}
