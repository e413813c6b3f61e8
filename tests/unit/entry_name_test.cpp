#include "package/entry_name.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "package/upper_case.h"

namespace {

bool Decodes(const std::string& bytes, std::u16string* out = nullptr) {
  std::u16string ignored;
  return DecodeEntryNameUtf8(bytes.data(), bytes.size(), out != nullptr ? out : &ignored);
}

}  // namespace

TEST(EntryNameUtf8Test, DecodesOneToThreeByteForms) {
  std::u16string out;
  ASSERT_TRUE(Decodes("a\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBF", &out));  // a é € U+FFFF
  EXPECT_EQ(out, u"a\u00E9\u20AC\uFFFF");
  ASSERT_TRUE(Decodes("", &out));
  EXPECT_TRUE(out.empty());
}

TEST(EntryNameUtf8Test, RefusesMalformedSequences) {
  const char* const bad[] = {
      "\x80",              // stray continuation byte
      "\xC0\xAF",          // overlong '/'
      "\xC1\xBF",          // overlong
      "\xE0\x80\xAF",      // overlong 3-byte
      "\xF0\x80\x80\xAF",  // overlong 4-byte
      "\xED\xA0\x80",      // U+D800, a surrogate
      "\xED\xBF\xBF",      // U+DFFF
      "\xF4\x90\x80\x80",  // past U+10FFFF
      "\xF5\x80\x80\x80",  // lead byte that can never start a sequence
      "\xFF",
      "a\xC3",         // cut short at the end
      "\xE2\x82",      // cut short
      "\xE2\x28\xA1",  // continuation missing in the middle
  };
  for (const char* name : bad) {
    EXPECT_FALSE(Decodes(name)) << name;
    EXPECT_LT(FindInvalidUtf8(name, std::char_traits<char>::length(name)),
              std::char_traits<char>::length(name))
        << name;
  }
}

TEST(EntryNameUtf8Test, NonBmpIsValidUtf8ButNoName) {
  const std::string emoji = "\xF0\x9F\x98\x80";  // U+1F600
  char32_t c = 0;
  EXPECT_EQ(DecodeUtf8CodePoint(emoji.data(), emoji.size(), &c), 4u);
  EXPECT_EQ(c, U'\U0001F600');
  EXPECT_EQ(FindInvalidUtf8(emoji.data(), emoji.size()), emoji.size());
  EXPECT_FALSE(Decodes("x" + emoji));
}

TEST(EntryNameUtf8Test, FindInvalidReportsTheFirstBadByte) {
  const std::string text = "ok \xC3\xA9 then \xC0\xAF";
  EXPECT_EQ(FindInvalidUtf8(text.data(), text.size()), text.find('\xC0'));
}

TEST(EntryNameRuleTest, AcceptsOrdinaryNames) {
  for (const char16_t* name :
       {u"a", u"setup.exe", u".hidden", u"a b", u"x..y", u"con_", u"cons", u"com0", u"com10",
        u"lpt", u"nul_.txt", u"\u00E9t\u00E9", u"\u00A0lead", u"concat.txt"}) {
    EXPECT_EQ(CheckEntryName(name), ENTRY_NAME_OK) << std::u16string(name).size();
    EXPECT_TRUE(IsSafeEntryName(name));
  }
}

TEST(EntryNameRuleTest, RefusesWhatWindowsCannotHold) {
  struct Case {
    std::u16string name;
    EntryNameProblem problem;
  } const cases[] = {
      {u"", ENTRY_NAME_EMPTY},
      {u".", ENTRY_NAME_DOT},
      {u"..", ENTRY_NAME_DOT},
      {u"a\\b", ENTRY_NAME_SEPARATOR},
      {u"a/b", ENTRY_NAME_SEPARATOR},
      {u"a:b", ENTRY_NAME_SEPARATOR},
      {std::u16string(u"a\0b", 3), ENTRY_NAME_CONTROL},
      {u"tab\there", ENTRY_NAME_CONTROL},
      {u"x\u001F", ENTRY_NAME_CONTROL},
      {u"del\u007F", ENTRY_NAME_CONTROL},
      {u"a*", ENTRY_NAME_RESERVED_CHAR},
      {u"a?", ENTRY_NAME_RESERVED_CHAR},
      {u"\"q\"", ENTRY_NAME_RESERVED_CHAR},
      {u"<a>", ENTRY_NAME_RESERVED_CHAR},
      {u"a|b", ENTRY_NAME_RESERVED_CHAR},
      {u"x.", ENTRY_NAME_TRAILING},
      {u"x ", ENTRY_NAME_TRAILING},
      {u"...", ENTRY_NAME_TRAILING},
      {u" ", ENTRY_NAME_TRAILING},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CheckEntryName(c.name), c.problem) << c.name.size();
    EXPECT_FALSE(IsSafeEntryName(c.name));
  }
}

TEST(EntryNameRuleTest, RefusesDeviceNamesWithAnyCaseAndExtension) {
  for (const char16_t* name :
       {u"CON", u"con", u"Con.txt", u"con.tar.gz", u"con .txt", u"PRN", u"aux.h", u"NuL", u"COM1",
        u"com9.log", u"Lpt1", u"LPT9", u"COM\u00B9", u"lpt\u00B3.txt"}) {
    EXPECT_EQ(CheckEntryName(name), ENTRY_NAME_DEVICE) << std::u16string(name).size();
  }
}

TEST(UpperCaseTest, SimpleUppercaseAcrossTheBmp) {
  const std::pair<char16_t, char16_t> cases[] = {
      {u'a', u'A'},     {u'z', u'Z'},     {u'A', u'A'},     {u'1', u'1'},     {0x00E9, 0x00C9},
      {0x00FF, 0x0178}, {0x00B5, 0x039C}, {0x00DF, 0x00DF},  // ß stays
      {0x0101, 0x0100}, {0x017A, 0x0179}, {0x017F, u'S'},   {0x0131, u'I'},   {0x01C6, 0x01C4},
      {0x01C5, 0x01C4}, {0x03C2, 0x03A3}, {0x0450, 0x0400}, {0x0561, 0x0531}, {0x10D0, 0x1C90},
      {0x1E01, 0x1E00}, {0x1F80, 0x1F88}, {0x1FB3, 0x1FBC}, {0x1FB2, 0x1FB2}, {0x24D0, 0x24B6},
      {0x2C30, 0x2C00}, {0x1D79, 0xA77D}, {0xAB70, 0x13A0}, {0xFF41, 0xFF21}, {0xFF5A, 0xFF3A},
      {0xFF5B, 0xFF5B}, {0xD801, 0xD801}, {0xFFFF, 0xFFFF}, {0x0000, 0x0000},
  };
  for (const auto& [lower, upper] : cases) {
    EXPECT_EQ(static_cast<int>(ToUpperCase(lower)), static_cast<int>(upper))
        << std::hex << static_cast<int>(lower);
  }
}
