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
