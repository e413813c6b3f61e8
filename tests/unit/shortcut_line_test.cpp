#include "script/shortcut_line.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::u16string_view kTargetDir = u"C:\\Tools\\Example";

ShortcutLine Parse(std::string_view line, std::u16string_view targetDir = kTargetDir) {
  ShortcutLine parsed;
  EXPECT_EQ(ParseShortcutLine(line, targetDir, &parsed), ShortcutSkip::kNone) << line;
  return parsed;
}

TEST(ShortcutLineTest, SplitsLinkTargetAndDescription) {
  const ShortcutLine line =
      Parse("C:\\Users\\Public\\Desktop\\Example.lnk=bin\\run.exe;Starts the tool");
  EXPECT_EQ(line.linkPath, u"C:\\Users\\Public\\Desktop\\Example.lnk");
  EXPECT_EQ(line.targetPath, u"C:\\Tools\\Example\\bin\\run.exe");
  EXPECT_EQ(line.workingDirectory, u"C:\\Tools\\Example\\bin");
  EXPECT_EQ(line.description, u"Starts the tool");
}

TEST(ShortcutLineTest, OnlyTheFirstEqualsAndSemicolonSplit) {
  const ShortcutLine noDescription = Parse("a.lnk=run.exe");
  EXPECT_EQ(noDescription.description, u"");
  // A target without a backslash works in the target folder itself.
  EXPECT_EQ(noDescription.workingDirectory, kTargetDir);

  const ShortcutLine equals = Parse("a.lnk=x=y");
  EXPECT_EQ(equals.targetPath, u"C:\\Tools\\Example\\x=y");
  EXPECT_EQ(equals.description, u"");

  const ShortcutLine semicolons = Parse("a.lnk=run.exe;one;two");
  EXPECT_EQ(semicolons.targetPath, u"C:\\Tools\\Example\\run.exe");
  EXPECT_EQ(semicolons.description, u"one;two");

  // Nothing is trimmed, and an empty link or target is taken as written.
  const ShortcutLine blanks = Parse(" a.lnk = run.exe ; d ");
  EXPECT_EQ(blanks.linkPath, u" a.lnk ");
  EXPECT_EQ(blanks.targetPath, u"C:\\Tools\\Example\\ run.exe ");
  EXPECT_EQ(blanks.description, u" d ");
  EXPECT_EQ(Parse("=;").targetPath, u"C:\\Tools\\Example\\");
}

TEST(ShortcutLineTest, DriveRootKeepsItsBackslash) {
  const ShortcutLine line = Parse("a.lnk=run.exe", u"D:");
  EXPECT_EQ(line.targetPath, u"D:\\run.exe");
  EXPECT_EQ(line.workingDirectory, u"D:\\");
  EXPECT_EQ(Parse("a.lnk=bin\\run.exe", u"D:").workingDirectory, u"D:\\bin");
  EXPECT_EQ(ShortcutWorkingDirectory(u"\\\\server\\share\\a.exe"), u"\\\\server\\share");
  EXPECT_EQ(ShortcutWorkingDirectory(u"\\a.exe"), u"");
}

TEST(ShortcutLineTest, EmptyAndUnsplittableLinesAreSkipped) {
  ShortcutLine parsed;
  parsed.linkPath = u"kept";
  EXPECT_EQ(ParseShortcutLine("", kTargetDir, &parsed), ShortcutSkip::kEmptyLine);
  EXPECT_EQ(ParseShortcutLine("a.lnk", kTargetDir, &parsed), ShortcutSkip::kNoEquals);
  EXPECT_EQ(ParseShortcutLine(std::string_view("a.lnk\0=x", 8), kTargetDir, &parsed),
            ShortcutSkip::kNoEquals);
  EXPECT_EQ(ParseShortcutLine(std::string_view("\0a=b", 4), kTargetDir, &parsed),
            ShortcutSkip::kEmptyLine);
  EXPECT_EQ(parsed.linkPath, u"kept");
}

TEST(ShortcutLineTest, PathsLongerThanTheirBufferOrTheShellTakesSkipTheLine) {
  const size_t room = kShortcutFieldUnits - kTargetDir.size() - 1;
  const size_t shellRoom = kShellLinkPathUnits - kTargetDir.size() - 1;
  ShortcutLine parsed;
  EXPECT_EQ(ParseShortcutLine("a.lnk=" + std::string(shellRoom, 't'), kTargetDir, &parsed),
            ShortcutSkip::kNone);
  EXPECT_EQ(parsed.targetPath.size(), kShellLinkPathUnits);
  EXPECT_EQ(ParseShortcutLine("a.lnk=" + std::string(shellRoom + 1, 't'), kTargetDir, &parsed),
            ShortcutSkip::kTooLongForShell)
      << "a cut path would point elsewhere";
  EXPECT_EQ(ParseShortcutLine(std::string(shellRoom + 1, 'l') + "=t", kTargetDir, &parsed),
            ShortcutSkip::kTooLongForShell)
      << "a relative link is saved below the target";
  EXPECT_EQ(ParseShortcutLine("D:\\" + std::string(256, 'l') + "=t", kTargetDir, &parsed),
            ShortcutSkip::kNone);
  EXPECT_EQ(ParseShortcutLine("a.lnk=" + std::string(room + 1, 't'), kTargetDir, &parsed),
            ShortcutSkip::kFieldTooLong);
  const std::string tooLong(kShortcutFieldUnits + 1, 'x');
  EXPECT_EQ(ParseShortcutLine(tooLong + "=t", kTargetDir, &parsed), ShortcutSkip::kFieldTooLong);
  EXPECT_EQ(ParseShortcutLine("a=t;" + tooLong, kTargetDir, &parsed), ShortcutSkip::kFieldTooLong);
  EXPECT_EQ(ParseShortcutLine("a=t;" + tooLong.substr(1), kTargetDir, &parsed),
            ShortcutSkip::kNone);
}

// The [shortcuts] body as the setup reads it, line by line.
std::vector<std::string> ShortcutsBody(const std::string& text) {
  auto bytes = std::make_unique<uint8_t[]>(text.size());
  std::copy(text.begin(), text.end(), bytes.get());
  const ScriptText script{bytes.get(), text.size()};
  std::vector<std::string> lines;
  uint8_t* body = FindShortcutsSection(script, {});
  if (body == nullptr) return {"(absent)"};
  WalkBody(script, body, [&](char* line, size_t length) { lines.emplace_back(line, length); });
  return lines;
}

using Lines = std::vector<std::string>;

TEST(ShortcutsSectionTest, BodyStartsOneByteAfterTheBracket) {
  EXPECT_EQ(ShortcutsBody("[shortcuts]\na.lnk=run.exe\n[run]\n"), Lines{"a.lnk=run.exe"});
  // CR LF: the body begins at the header's LF, an empty first line.
  EXPECT_EQ(ShortcutsBody("[shortcuts]\r\na.lnk=run.exe\r\n[run]\r\n"),
            (Lines{"", "a.lnk=run.exe"}));
  // Text behind the bracket, less its first byte, is the first line.
  EXPECT_EQ(ShortcutsBody("[shortcuts] a.lnk=run.exe\nb.lnk=x\n[run]\n"),
            (Lines{"a.lnk=run.exe", "b.lnk=x"}));
  EXPECT_EQ(ShortcutsBody("[shortcuts]\n[run]\n"), Lines{});
  EXPECT_EQ(ShortcutsBody("[shortcuts]"), Lines{});
  EXPECT_EQ(ShortcutsBody("[shortcut]\n"), Lines{"(absent)"});
}

TEST(ShortcutsSectionTest, LocaleVariantIsPreferred) {
  const std::string text = "[shortcuts]\nplain\n[shortcuts.de]\nvariant\n[run]\n";
  auto bytes = std::make_unique<uint8_t[]>(text.size());
  std::copy(text.begin(), text.end(), bytes.get());
  const ScriptText script{bytes.get(), text.size()};
  uint8_t* body = FindShortcutsSection(script, {"de"});
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(body), 7), "variant");
}

}  // namespace
