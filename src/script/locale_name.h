// The locale name that selects the script's locale variants: "ll-CC" from the
// system default locale, narrowed by the [locale] lookup to "ll" or to empty.
#pragma once

#include <string>
#include <string_view>

struct LocaleName {
  std::string text;  // UTF-8; empty: only plain headers are looked up
};

// Composes the name from the two strings the system gives for its default
// locale: the first two units of the ISO 639 name, "-", the ISO 3166 name
// (at most 28 units, as in a 32-unit buffer). A language of fewer than two
// units ends the name there, as its terminator comes before the hyphen.
LocaleName ComposeLocaleName(std::u16string_view iso639, std::u16string_view iso3166);

#ifdef _WIN32
// The name of the system default locale (not the user's), e.g. "de-DE".
LocaleName BuildLocaleName();
#endif
