#include "installer/install_target.h"

std::u16string TargetFromCommandLine(std::u16string_view tail) {
  while (!tail.empty() && (tail.back() == u' ' || tail.back() == u'\t')) tail.remove_suffix(1);
  if (tail.size() >= 2 && tail.front() == u'"' && tail.back() == u'"') {
    tail = tail.substr(1, tail.size() - 2);
  }
  return std::u16string(tail);
}

std::u16string TargetFromField(std::u16string_view text) {
  if (text.size() > kTargetDirUnits) return {};
  if (!text.empty() && text.back() == u'\\') text.remove_suffix(1);
  return std::u16string(text);
}

bool IsWithinFolder(std::u16string_view path, std::u16string_view folder) {
  auto trim = [](std::u16string_view text) {
    while (!text.empty() && text.back() == u'\\') text.remove_suffix(1);
    return text;
  };
  path = trim(path);
  folder = trim(folder);
  if (folder.empty() || path.size() < folder.size()) return false;
  for (size_t i = 0; i < folder.size(); ++i) {
    auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
    if (fold(path[i]) != fold(folder[i])) return false;
  }
  return path.size() == folder.size() || path[folder.size()] == u'\\';
}
