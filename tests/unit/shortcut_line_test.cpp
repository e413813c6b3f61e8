#include "script/shortcut_line.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

constexpr std::u16string_view kTargetDir = u"C:\\Tools\\Example";

// "LINK|TARGET|WORKDIR|DESCRIPTION", or the reason the line is skipped.
std::string Parsed(std::string_view line, std::u16string_view targetDir = kTargetDir) {
  ShortcutLine parsed;
  parsed.linkPath = u"kept";
  const ShortcutSkip skip = ParseShortcutLine(line, targetDir, &parsed);
  if (skip != ShortcutSkip::kNone) {
    return "skipped " + std::to_string(static_cast<int>(skip)) + " " + Narrow(parsed.linkPath);
  }
  return Narrow(parsed.linkPath) + "|" + Narrow(parsed.targetPath) + "|" +
         Narrow(parsed.workingDirectory) + "|" + Narrow(parsed.description);
}

TEST(ShortcutLineTest, SplitsLinkTargetAndDescription) {
  const std::pair<std::string_view, std::string> cases[] = {
      {"C:\\Users\\Public\\Desktop\\Example.lnk=bin\\run.exe;Starts the tool",
       "C:\\Users\\Public\\Desktop\\Example.lnk|C:\\Tools\\Example\\bin\\run.exe|"
       "C:\\Tools\\Example\\bin|Starts the tool"},
      // Only the first "=" and ";" split; nothing is trimmed.
      {"a.lnk=run.exe", "a.lnk|C:\\Tools\\Example\\run.exe|C:\\Tools\\Example|"},
      {"a.lnk=x=y", "a.lnk|C:\\Tools\\Example\\x=y|C:\\Tools\\Example|"},
      {"a.lnk=run.exe;one;two", "a.lnk|C:\\Tools\\Example\\run.exe|C:\\Tools\\Example|one;two"},
      {" a.lnk = run.exe ; d ", " a.lnk |C:\\Tools\\Example\\ run.exe |C:\\Tools\\Example| d "},
      {"=;", "|C:\\Tools\\Example\\|C:\\Tools\\Example|"},
      {"", "skipped 1 kept"},
      {"a.lnk", "skipped 2 kept"},
      {std::string_view("a.lnk\0=x", 8), "skipped 2 kept"},
      {std::string_view("\0a=b", 4), "skipped 1 kept"},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(Parsed(line), expected) << line;
  // A drive root keeps its backslash.
  EXPECT_EQ(Parsed("a.lnk=run.exe", u"D:"), "a.lnk|D:\\run.exe|D:\\|");
  EXPECT_EQ(Parsed("a.lnk=bin\\run.exe", u"D:"), "a.lnk|D:\\bin\\run.exe|D:\\bin|");
  EXPECT_EQ(ShortcutWorkingDirectory(u"\\\\server\\share\\a.exe"), u"\\\\server\\share");
  EXPECT_EQ(ShortcutWorkingDirectory(u"\\a.exe"), u"");
}

TEST(ShortcutLineTest, PathsLongerThanTheirBufferOrTheShellTakesSkipTheLine) {
  const size_t room = kShortcutFieldUnits - kTargetDir.size() - 1;
  const size_t shellRoom = kShellLinkPathUnits - kTargetDir.size() - 1;
  const std::string tooLong(kShortcutFieldUnits + 1, 'x');
  const std::pair<std::string, ShortcutSkip> cases[] = {
      {"a.lnk=" + std::string(shellRoom, 't'), ShortcutSkip::kNone},
      // A cut path would point elsewhere; a relative link is saved below the target.
      {"a.lnk=" + std::string(shellRoom + 1, 't'), ShortcutSkip::kTooLongForShell},
      {std::string(shellRoom + 1, 'l') + "=t", ShortcutSkip::kTooLongForShell},
      {"D:\\" + std::string(256, 'l') + "=t", ShortcutSkip::kNone},
      {"a.lnk=" + std::string(room + 1, 't'), ShortcutSkip::kFieldTooLong},
      {tooLong + "=t", ShortcutSkip::kFieldTooLong},
      {"a=t;" + tooLong, ShortcutSkip::kFieldTooLong},
      {"a=t;" + tooLong.substr(1), ShortcutSkip::kNone},
  };
  for (const auto& [line, reason] : cases) {
    ShortcutLine parsed;
    EXPECT_EQ(ParseShortcutLine(line, kTargetDir, &parsed), reason) << line.size();
  }
  ShortcutLine longest;
  ASSERT_EQ(ParseShortcutLine(cases[0].first, kTargetDir, &longest), ShortcutSkip::kNone);
  EXPECT_EQ(longest.targetPath.size(), kShellLinkPathUnits);
}

TEST(ShortcutsSectionTest, BodyStartsOneByteAfterTheBracket) {
  const std::pair<const char*, Lines> cases[] = {
      {"[shortcuts]\na.lnk=run.exe\n[run]\n", {"a.lnk=run.exe"}},
      // CR LF: the body begins at the header's LF, an empty first line.
      {"[shortcuts]\r\na.lnk=run.exe\r\n[run]\r\n", {"", "a.lnk=run.exe"}},
      // Text behind the bracket, less its first byte, is the first line.
      {"[shortcuts] a.lnk=run.exe\nb.lnk=x\n[run]\n", {"a.lnk=run.exe", "b.lnk=x"}},
      {"[shortcuts]\n[run]\n", {}},
      {"[shortcuts]", {}},
      {"[shortcut]\n", {"(absent)"}},
  };
  for (const auto& [text, lines] : cases) {
    const HeapScript script(text);
    EXPECT_EQ(script.Body(FindShortcutsSection(script.text(), {})), lines) << text;
  }
  const HeapScript variant("[shortcuts]\nplain\n[shortcuts.de]\nvariant\n[run]\n");
  EXPECT_EQ(variant.Body(FindShortcutsSection(variant.text(), {"de"})), Lines{"variant"});
}

}  // namespace
