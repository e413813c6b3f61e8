#include "installer/removal_plan.h"

#include <algorithm>
#include <set>

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

RemovalPlan PlanRemoval(const PackageTree& record, const PackageTree* kept, size_t rootUnits,
                        std::u16string_view skip, FoldPath fold) {
  PathCollector listed;
  WalkTree(record, rootUnits + 1, listed);
  std::set<std::u16string> keep;
  if (!skip.empty()) keep.insert(fold(skip));
  if (kept != nullptr) {
    PathCollector staying;
    WalkTree(*kept, rootUnits + 1, staying);
    for (const std::u16string& path : staying.files) keep.insert(fold(path));
    for (const std::u16string& path : staying.folders) keep.insert(fold(path));
  }
  RemovalPlan plan;
  for (std::u16string& path : listed.files) {
    if (keep.count(fold(path)) == 0) plan.files.push_back(std::move(path));
  }
  // A child's entry follows its parent's, so the reverse order empties every
  // folder before its parent is tried.
  for (auto folder = listed.folders.rbegin(); folder != listed.folders.rend(); ++folder) {
    if (keep.count(fold(*folder)) == 0) plan.folders.push_back(std::move(*folder));
  }
  return plan;
}
