#include "platform/windows_path.h"

namespace {

constexpr std::u16string_view kVerbatim = u"\\\\?\\";
constexpr std::u16string_view kVerbatimUnc = u"\\\\?\\UNC\\";

bool IsDrive(std::u16string_view path) {
  return path.size() >= 2 && path[1] == u':' &&
         ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z'));
}

}  // namespace

size_t PathRootLength(std::u16string_view path) {
  if (path.substr(0, kVerbatim.size()) == kVerbatim) {
    const size_t inner = PathRootLength(path.substr(kVerbatim.size()));
    return inner == 0 ? 0 : kVerbatim.size() + inner;
  }
  if (IsDrive(path)) {
    if (path.size() == 2) return 2;
    return path[2] == u'\\' ? 3 : 0;
  }
  if (path.substr(0, 2) != u"\\\\") return 0;
  // \\server\share\: both names must be there.
  const size_t server = path.find(u'\\', 2);
  if (server == std::u16string_view::npos || server == 2) return 0;
  const size_t share = path.find(u'\\', server + 1);
  if (share == server + 1) return 0;
  return share == std::u16string_view::npos ? path.size() : share + 1;
}

std::u16string LongPathForm(std::u16string_view path) {
  if (path.size() <= kPlainPathUnits || path.substr(0, kVerbatim.size()) == kVerbatim ||
      PathRootLength(path) == 0) {
    return std::u16string(path);
  }
  if (IsDrive(path)) return std::u16string(kVerbatim).append(path);
  return std::u16string(kVerbatimUnc).append(path.substr(2));
}

std::u16string DirectoryForm(std::u16string_view folder) {
  std::u16string form(folder);
  if (folder.size() == 2 && IsDrive(folder)) form.push_back(u'\\');
  return form;
}
