#include <windows.h>

#include "script/locale_name.h"

LocaleName BuildLocaleName() {
  wchar_t language[32] = {};
  wchar_t country[32] = {};
  // A failed query leaves its buffer empty, which the composition handles.
  GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SISO639LANGNAME, language, 32);
  GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SISO3166CTRYNAME, country, 32);
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  return ComposeLocaleName(reinterpret_cast<const char16_t*>(language),
                           reinterpret_cast<const char16_t*>(country));
}
