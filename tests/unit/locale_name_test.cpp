#include "script/locale_name.h"

#include <gtest/gtest.h>

namespace {

TEST(ComposeLocaleNameTest, TwoLettersHyphenAndABoundedCountry) {
  const std::u16string longCountry(40, u'A');
  const struct {
    std::u16string_view language, country;
    const char* name;
  } cases[] = {
      {u"de", u"DE", "de-DE"},
      {u"es", u"419", "es-419"},
      {u"haw", u"US", "ha-US"},  // a third letter is dropped
      // The terminator of a short language comes before the hyphen.
      {u"x", u"DE", "x"},
      {u"", u"DE", ""},
      {u"de", u"", "de-"},
      {std::u16string_view(u"d\0e", 3), u"DE", "d"},
      {u"de", longCountry, "de-AAAAAAAAAAAAAAAAAAAAAAAAAAAA"},  // 28 of them
  };
  for (const auto& c : cases) EXPECT_EQ(ComposeLocaleName(c.language, c.country).text, c.name);
}

}  // namespace
