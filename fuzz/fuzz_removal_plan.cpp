// Plans an uninstall and an upgrade over arbitrary records: the input is a
// tree section, then, after "KEPT", the tree an upgrade brings; the first
// byte sets the install folder's length. Every planned path must stay inside
// the install folder: relative names a Windows file system holds as given
// (no "..", ".", drive, stream, device, empty name or '/') joined by single
// backslashes, within the path limit. The uninstaller itself, and whatever
// the new tree brings, never go.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "installer/removal_plan.h"
#include "platform/windows_name.h"

namespace {

constexpr std::u16string_view kUninstaller = u"UNINSTALL.EXE";

std::u16string Upper(std::u16string_view path) {
  std::u16string folded(path);
  for (char16_t& c : folded) c = (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
  return folded;
}

// Checked apart from the walk's own rule: a name of dots and blanks alone
// (".." once Windows strips the trailing ones, or empty: an absolute path or
// a doubled separator), or one with a drive, stream or other separator.
bool Escapes(std::u16string_view name) {
  return name.find_first_not_of(u". ") == name.npos ||
         name.find_first_of(std::u16string_view(u":/\0", 3)) != name.npos;
}

void CheckInside(const RemovalPlan& plan, size_t rootUnits) {
  for (const auto* paths : {&plan.files, &plan.folders}) {
    for (std::u16string_view path : *paths) {
      if (rootUnits + 1 + path.size() > MAX_ENTRY_PATH_UNITS) abort();
      for (size_t at = 0; at <= path.size();) {
        const size_t end = std::min(path.find(u'\\', at), path.size());
        const std::u16string_view name = path.substr(at, end - at);
        if (Escapes(name) || !IsSafeFileName(name)) abort();
        at = end + 1;
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  const size_t rootUnits = 2 + size_t{data[0]} * 2;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t split = std::min(bytes.find("KEPT"), bytes.size());
  MemoryInputFile recordFile(data + 1, split);
  PackageTree record;
  if (!OpenPackageTree(recordFile, 0, &record)) return 0;
  const RemovalPlan all = PlanRemoval(record, nullptr, rootUnits, kUninstaller, Upper);
  CheckInside(all, rootUnits);
  for (const std::u16string& path : all.files) {
    if (Upper(path) == kUninstaller) abort();
  }
  if (split == bytes.size()) return 0;
  MemoryInputFile keptFile(data + 1 + split + 4, bytes.size() - split - 4);
  PackageTree kept;
  if (!OpenPackageTree(keptFile, 0, &kept)) return 0;
  CheckInside(PlanRemoval(record, &kept, rootUnits, u"", Upper), rootUnits);
  // Planned over itself, a tree keeps everything.
  const RemovalPlan none = PlanRemoval(kept, &kept, rootUnits, u"", Upper);
  if (!none.files.empty() || !none.folders.empty()) abort();
  return 0;
}
