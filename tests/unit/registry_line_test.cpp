#include "script/registry_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

RegistryLine Parse(std::string_view line) {
  RegistryLine parsed;
  EXPECT_EQ(ParseRegistryLine(line, &parsed), RegistrySkip::kNone) << line;
  return parsed;
}

uint32_t Dword(std::string_view line) {
  const RegistryLine parsed = Parse(line);
  EXPECT_EQ(parsed.type, RegistryValueType::kDword) << line;
  return parsed.number;
}

TEST(RegistryLineTest, SplitsRootKeyPathNameAndDword) {
  const RegistryLine line = Parse("HKEY_CURRENT_USER\\Software\\Example\\Count=DWORD:1A");
  EXPECT_EQ(line.root, RegistryRoot::kCurrentUser);
  EXPECT_EQ(line.keyPath, u"Software\\Example");
  EXPECT_EQ(line.valueName, u"Count");
  EXPECT_EQ(line.type, RegistryValueType::kDword);
  EXPECT_EQ(line.number, 26u);
  EXPECT_EQ(line.DataSize(), 4u);
  EXPECT_EQ(Parse("HKEY_CLASSES_ROOT\\.ex\\x=1").root, RegistryRoot::kClassesRoot);
  EXPECT_EQ(Parse("HKEY_LOCAL_MACHINE\\a\\x=1").root, RegistryRoot::kLocalMachine);
  EXPECT_EQ(Parse("HKEY_USERS\\.DEFAULT\\a\\x=1").keyPath, u".DEFAULT\\a");
}

TEST(RegistryLineTest, DwordIsHexadecimalUpToTheFirstOtherByte) {
  EXPECT_EQ(Dword("HKEY_USERS\\k\\n=DWORD:10"), 16u);
  EXPECT_EQ(Dword("HKEY_USERS\\k\\n=DWORD:0x10"), 0u);
  EXPECT_EQ(Dword("HKEY_USERS\\k\\n=DWORD:"), 0u);
  EXPECT_EQ(Dword("HKEY_USERS\\k\\n=DWORD:ffFF"), 0xFFFFu);
  EXPECT_EQ(Dword("HKEY_USERS\\k\\n=DWORD: 5"), 0u);
  EXPECT_EQ(Dword("HKEY_USERS\\k\\n=DWORD:12 34"), 0x12u);
  EXPECT_EQ(Dword("HKEY_USERS\\k\\n=DWORD:-1"), 0u);
  // Wrapping arithmetic keeps only the last eight digits.
  EXPECT_EQ(Dword("HKEY_USERS\\k\\n=DWORD:1FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(Dword("HKEY_USERS\\k\\n=DWORD:123456789"), 0x23456789u);
  EXPECT_EQ(Dword("HKEY_USERS\\k\\n=DWORD:0000000012345678"), 0x12345678u);
}

TEST(RegistryLineTest, ParseHexStopsAtTheEndOfItsText) {
  const std::string_view text = "1A2B";
  EXPECT_EQ(ParseHex(text.substr(0, 2)), 0x1Au);
  EXPECT_EQ(ParseHex({}), 0u);
  EXPECT_EQ(ParseHex("Gg"), 0u);
}

TEST(RegistryLineTest, OtherValuesAreStringsStoredWhole) {
  const RegistryLine lower = Parse("HKEY_CURRENT_USER\\k\\n=dword:5");
  EXPECT_EQ(lower.type, RegistryValueType::kString);
  EXPECT_EQ(lower.text, u"dword:5");
  EXPECT_EQ(Parse("HKEY_CURRENT_USER\\k\\n=Dword:5").text, u"Dword:5");
  EXPECT_EQ(Parse("HKEY_CURRENT_USER\\k\\n= DWORD:5").text, u" DWORD:5");
  EXPECT_EQ(Parse("HKEY_CURRENT_USER\\k\\n=a=b=c").text, u"a=b=c");
  EXPECT_EQ(Parse("HKEY_CURRENT_USER\\k\\n=caf\xC3\xA9").text, u"caf\u00E9");
  EXPECT_EQ(Parse("HKEY_CURRENT_USER\\k\\n=caf\xC3\xA9").DataSize(), 10u);

  const RegistryLine empty = Parse("HKEY_CURRENT_USER\\k\\n=");
  EXPECT_EQ(empty.type, RegistryValueType::kString);
  EXPECT_EQ(empty.text, u"");
  EXPECT_EQ(empty.DataSize(), 2u);  // the terminating zero unit alone
}

TEST(RegistryLineTest, DefaultValueAndTheValuesOwnBackslashes) {
  const RegistryLine line = Parse("HKEY_LOCAL_MACHINE\\Software\\Example\\=C:\\Dir");
  EXPECT_EQ(line.keyPath, u"Software\\Example");
  EXPECT_EQ(line.valueName, u"");
  EXPECT_EQ(line.text, u"C:\\Dir");
  // Blanks are kept: the one before "=" belongs to the name.
  EXPECT_EQ(Parse("HKEY_USERS\\k\\my name =x").valueName, u"my name ");
  // Only the last backslash of the left part ends the key path.
  EXPECT_EQ(Parse("HKEY_USERS\\\\n=x").keyPath, u"");
}

TEST(RegistryLineTest, LinesOfTheWrongShapeAreSkippedWithTheirReason) {
  RegistryLine untouched;
  untouched.text = u"kept";
  const struct {
    std::string_view line;
    RegistrySkip reason;
  } cases[] = {
      {"", RegistrySkip::kEmptyLine},
      {"HKEY_USERS\\k\\n", RegistrySkip::kNoEquals},
      {"HKEY_USERS=1", RegistrySkip::kNoRootSeparator},
      {"HKEY_USERS\\=1", RegistrySkip::kNothingAfterRoot},
      {"HKEY_CURRENT_USER\\Name=1", RegistrySkip::kNoKeyPath},
      {"HKLM\\Software\\Example\\X=1", RegistrySkip::kUnknownRoot},
      {"hkey_users\\k\\n=1", RegistrySkip::kUnknownRoot},
      {" HKEY_USERS\\k\\n=1", RegistrySkip::kUnknownRoot},
      // The value's backslashes do not make a key path.
      {"HKEY_USERS\\n=C:\\a\\b", RegistrySkip::kNoKeyPath},
      // A NUL ends the line's text, as it does for the setup.
      {std::string_view("HKEY_USERS\\k\\n\0=1", 17), RegistrySkip::kNoEquals},
  };
  for (const auto& c : cases) {
    RegistryLine parsed = untouched;
    EXPECT_EQ(ParseRegistryLine(c.line, &parsed), c.reason) << c.line;
    EXPECT_EQ(parsed.text, u"kept") << c.line;
  }
}

TEST(RegistryLineTest, FieldsLongerThanTheirBufferSkipTheLine) {
  const std::string fits(kRegistryFieldUnits, 'k');
  const std::string tooLong(kRegistryFieldUnits + 1, 'k');
  // Two-byte characters count once: 511 of them fit.
  std::string wide;
  for (size_t i = 0; i < kRegistryFieldUnits; ++i) wide += "\xC3\xA9";
  RegistryLine parsed;
  EXPECT_EQ(ParseRegistryLine("HKEY_USERS\\" + fits + "\\" + fits + "=" + fits, &parsed),
            RegistrySkip::kNone);
  EXPECT_EQ(ParseRegistryLine("HKEY_USERS\\k\\n=" + wide, &parsed), RegistrySkip::kNone);
  EXPECT_EQ(ParseRegistryLine("HKEY_USERS\\" + tooLong + "\\n=1", &parsed),
            RegistrySkip::kFieldTooLong);
  EXPECT_EQ(ParseRegistryLine("HKEY_USERS\\k\\" + tooLong + "=1", &parsed),
            RegistrySkip::kFieldTooLong);
  EXPECT_EQ(ParseRegistryLine("HKEY_USERS\\k\\n=" + tooLong, &parsed), RegistrySkip::kFieldTooLong);
  // A number's digits are not converted and have no limit.
  EXPECT_EQ(ParseRegistryLine("HKEY_USERS\\k\\n=DWORD:" + std::string(600, '0') + "7", &parsed),
            RegistrySkip::kNone);
  EXPECT_EQ(parsed.number, 7u);
}

}  // namespace
