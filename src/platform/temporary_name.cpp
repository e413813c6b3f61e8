#include "platform/temporary_name.h"

namespace {

constexpr std::u16string_view kPrefix = u"~setup";
constexpr std::u16string_view kTemporarySuffix = u".tmp";
constexpr size_t kDigits = 8;

std::u16string NameWith(uint32_t serial, std::u16string_view suffix) {
  std::u16string name(kPrefix);
  for (int shift = 28; shift >= 0; shift -= 4) {
    name.push_back(u"0123456789abcdef"[(serial >> shift) & 0xF]);
  }
  name.append(suffix);
  return name;
}

bool IsLowerHex(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); }

}  // namespace

std::u16string TemporaryFileName(uint32_t serial) { return NameWith(serial, kTemporarySuffix); }

std::u16string PendingFileName(uint32_t serial) { return NameWith(serial, u".pending"); }

bool IsTemporaryFileName(std::u16string_view name) {
  if (name.size() != kPrefix.size() + kDigits + kTemporarySuffix.size()) return false;
  if (name.substr(0, kPrefix.size()) != kPrefix) return false;
  if (name.substr(kPrefix.size() + kDigits) != kTemporarySuffix) return false;
  for (size_t i = kPrefix.size(); i < kPrefix.size() + kDigits; ++i) {
    if (!IsLowerHex(name[i])) return false;
  }
  return true;
}
