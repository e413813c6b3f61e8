#include "script/registry_line.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

// "ROOT|KEY|NAME|dword N (size)" or "ROOT|KEY|NAME|sz TEXT (size)".
std::string Parsed(std::string_view line) {
  RegistryLine parsed;
  const RegistrySkip skip = ParseRegistryLine(line, &parsed);
  if (skip != RegistrySkip::kNone) return "skipped " + std::to_string(static_cast<int>(skip));
  const char* const roots[] = {"HKCR", "HKCU", "HKLM", "HKU"};
  std::string out = std::string(roots[static_cast<int>(parsed.root)]) + "|" +
                    Narrow(parsed.keyPath) + "|" + Narrow(parsed.valueName) + "|";
  out += parsed.type == RegistryValueType::kDword ? "dword " + std::to_string(parsed.number)
                                                  : "sz " + Narrow(parsed.text);
  return out + " (" + std::to_string(parsed.DataSize()) + ")";
}

TEST(RegistryLineTest, SplitsRootKeyNameAndValue) {
  const std::pair<std::string_view, std::string> cases[] = {
      {"HKEY_CURRENT_USER\\Software\\Example\\Count=DWORD:1A",
       "HKCU|Software\\Example|Count|dword 26 (4)"},
      {"HKEY_CLASSES_ROOT\\.ex\\x=1", "HKCR|.ex|x|sz 1 (4)"},
      {"HKEY_LOCAL_MACHINE\\a\\x=1", "HKLM|a|x|sz 1 (4)"},
      {"HKEY_USERS\\.DEFAULT\\a\\x=1", "HKU|.DEFAULT\\a|x|sz 1 (4)"},
      // Hexadecimal up to the first other byte, in wrapping arithmetic.
      {"HKEY_USERS\\k\\n=DWORD:10", "HKU|k|n|dword 16 (4)"},
      {"HKEY_USERS\\k\\n=DWORD:0x10", "HKU|k|n|dword 0 (4)"},
      {"HKEY_USERS\\k\\n=DWORD:", "HKU|k|n|dword 0 (4)"},
      {"HKEY_USERS\\k\\n=DWORD:ffFF", "HKU|k|n|dword 65535 (4)"},
      {"HKEY_USERS\\k\\n=DWORD: 5", "HKU|k|n|dword 0 (4)"},
      {"HKEY_USERS\\k\\n=DWORD:12 34", "HKU|k|n|dword 18 (4)"},
      {"HKEY_USERS\\k\\n=DWORD:-1", "HKU|k|n|dword 0 (4)"},
      {"HKEY_USERS\\k\\n=DWORD:1FFFFFFFF", "HKU|k|n|dword 4294967295 (4)"},
      {"HKEY_USERS\\k\\n=DWORD:123456789", "HKU|k|n|dword 591751049 (4)"},
      {"HKEY_USERS\\k\\n=DWORD:0000000012345678", "HKU|k|n|dword 305419896 (4)"},
      // Any other value is a string, stored whole with its zero unit.
      {"HKEY_CURRENT_USER\\k\\n=dword:5", "HKCU|k|n|sz dword:5 (16)"},
      {"HKEY_CURRENT_USER\\k\\n=Dword:5", "HKCU|k|n|sz Dword:5 (16)"},
      {"HKEY_CURRENT_USER\\k\\n= DWORD:5", "HKCU|k|n|sz  DWORD:5 (18)"},
      {"HKEY_CURRENT_USER\\k\\n=a=b=c", "HKCU|k|n|sz a=b=c (12)"},
      {"HKEY_CURRENT_USER\\k\\n=caf\xC3\xA9", "HKCU|k|n|sz caf\\u00E9 (10)"},
      {"HKEY_CURRENT_USER\\k\\n=", "HKCU|k|n|sz  (2)"},
      // The default value; blanks kept; the last backslash ends the key path.
      {"HKEY_LOCAL_MACHINE\\Software\\Example\\=C:\\Dir",
       "HKLM|Software\\Example||sz C:\\Dir (14)"},
      {"HKEY_USERS\\k\\my name =x", "HKU|k|my name |sz x (4)"},
      {"HKEY_USERS\\\\n=x", "HKU||n|sz x (4)"},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(Parsed(line), expected) << line;
  EXPECT_EQ(ParseHex(std::string_view("1A2B").substr(0, 2)), 0x1Au);
  EXPECT_EQ(ParseHex({}), 0u);
  EXPECT_EQ(ParseHex("Gg"), 0u);
}

TEST(RegistryLineTest, LinesOfTheWrongShapeOrSizeAreSkippedWithTheirReason) {
  const std::string fits(kRegistryFieldUnits, 'k');
  const std::string tooLong(kRegistryFieldUnits + 1, 'k');
  std::string wide;  // two-byte characters count once: 511 of them fit
  for (size_t i = 0; i < kRegistryFieldUnits; ++i) wide += "\xC3\xA9";
  const std::pair<std::string, RegistrySkip> cases[] = {
      {"", RegistrySkip::kEmptyLine},
      {"HKEY_USERS\\k\\n", RegistrySkip::kNoEquals},
      {"HKEY_USERS=1", RegistrySkip::kNoRootSeparator},
      {"HKEY_USERS\\=1", RegistrySkip::kNothingAfterRoot},
      {"HKEY_CURRENT_USER\\Name=1", RegistrySkip::kNoKeyPath},
      {"HKLM\\Software\\Example\\X=1", RegistrySkip::kUnknownRoot},
      {"hkey_users\\k\\n=1", RegistrySkip::kUnknownRoot},
      {" HKEY_USERS\\k\\n=1", RegistrySkip::kUnknownRoot},
      {"HKEY_USERS\\n=C:\\a\\b", RegistrySkip::kNoKeyPath},  // the value's backslashes
      {std::string("HKEY_USERS\\k\\n\0=1", 17), RegistrySkip::kNoEquals},  // a NUL ends it
      {"HKEY_USERS\\" + fits + "\\" + fits + "=" + fits, RegistrySkip::kNone},
      {"HKEY_USERS\\k\\n=" + wide, RegistrySkip::kNone},
      {"HKEY_USERS\\" + tooLong + "\\n=1", RegistrySkip::kFieldTooLong},
      {"HKEY_USERS\\k\\" + tooLong + "=1", RegistrySkip::kFieldTooLong},
      {"HKEY_USERS\\k\\n=" + tooLong, RegistrySkip::kFieldTooLong},
  };
  for (const auto& [line, reason] : cases) {
    RegistryLine parsed;
    parsed.text = u"kept";
    EXPECT_EQ(ParseRegistryLine(line, &parsed), reason) << line.substr(0, 40);
    if (reason != RegistrySkip::kNone) {
      EXPECT_EQ(parsed.text, u"kept") << line.substr(0, 40);
    }
  }
  // A number's digits are not converted and have no limit.
  EXPECT_EQ(Parsed("HKEY_USERS\\k\\n=DWORD:" + std::string(600, '0') + "7"), "HKU|k|n|dword 7 (4)");
}

}  // namespace
