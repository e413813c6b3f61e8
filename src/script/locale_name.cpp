#include "script/locale_name.h"

#include "base/utf8.h"

namespace {

// The system's strings land in one 32-unit buffer: the language at 0, the
// hyphen written over index 2, the country from index 3.
constexpr size_t kBufferUnits = 32;
constexpr size_t kCountryStart = 3;

}  // namespace

LocaleName ComposeLocaleName(std::u16string_view iso639, std::u16string_view iso3166) {
  const size_t languageEnd = iso639.find(u'\0');
  if (languageEnd != std::u16string_view::npos) iso639 = iso639.substr(0, languageEnd);
  if (iso639.size() < 2) return LocaleName{WideToUtf8(iso639)};
  std::u16string name(iso639.substr(0, 2));
  name += u'-';
  name += iso3166.substr(0, kBufferUnits - kCountryStart - 1);
  const size_t nameEnd = name.find(u'\0');
  if (nameEnd != std::u16string::npos) name.resize(nameEnd);
  return LocaleName{WideToUtf8(name)};
}
