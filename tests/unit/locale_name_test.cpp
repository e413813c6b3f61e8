#include "script/locale_name.h"

#include <gtest/gtest.h>

namespace {

TEST(ComposeLocaleNameTest, JoinsLanguageAndCountry) {
  EXPECT_EQ(ComposeLocaleName(u"de", u"DE").text, "de-DE");
  EXPECT_EQ(ComposeLocaleName(u"es", u"419").text, "es-419");
}

TEST(ComposeLocaleNameTest, ThreeLetterLanguageLosesItsThirdLetter) {
  EXPECT_EQ(ComposeLocaleName(u"haw", u"US").text, "ha-US");
}

TEST(ComposeLocaleNameTest, ShortOrMissingStrings) {
  // The terminator of a short language comes before the hyphen.
  EXPECT_EQ(ComposeLocaleName(u"x", u"DE").text, "x");
  EXPECT_EQ(ComposeLocaleName(u"", u"DE").text, "");
  EXPECT_EQ(ComposeLocaleName(u"de", u"").text, "de-");
  EXPECT_EQ(ComposeLocaleName(std::u16string_view(u"d\0e", 3), u"DE").text, "d");
}

TEST(ComposeLocaleNameTest, CountryIsBoundedByTheBuffer) {
  const std::u16string country(40, u'A');
  EXPECT_EQ(ComposeLocaleName(u"de", country).text, "de-" + std::string(28, 'A'));
}

}  // namespace
