#include "script/run_line.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

constexpr std::u16string_view kTargetDir = u"C:\\Tools\\Example";

// "FILE|PARAMETERS|WORKDIR", "-" for no parameters at all.
std::string Parsed(std::string_view line, std::u16string_view targetDir = kTargetDir) {
  RunLine parsed;
  EXPECT_EQ(ParseRunLine(line, targetDir, &parsed), RunSkip::kNone) << line;
  return Narrow(parsed.file) + "|" + (parsed.parameters ? Narrow(*parsed.parameters) : "-") + "|" +
         Narrow(parsed.workingDirectory);
}

TEST(RunLineTest, ProgramParameterAndWorkingDirectory) {
  const std::pair<std::string_view, std::string> cases[] = {
      {"app.exe", "C:\\Tools\\Example\\app.exe|-|C:\\Tools\\Example"},
      {"readme.txt", "C:\\Tools\\Example\\readme.txt|-|C:\\Tools\\Example"},
      // The parameter is the text after the last blank.
      {"bin\\app.exe /quiet", "C:\\Tools\\Example\\bin\\app.exe|/quiet|C:\\Tools\\Example\\bin"},
      {"app.exe -a -b", "C:\\Tools\\Example\\app.exe|-b|C:\\Tools\\Example"},
      {"app.exe  -x", "C:\\Tools\\Example\\app.exe|-x|C:\\Tools\\Example"},
      {"app.exe ", "C:\\Tools\\Example\\app.exe||C:\\Tools\\Example"},  // empty, not null
      // Quotes and tabs are ordinary characters.
      {"app.exe \"a b\"", "C:\\Tools\\Example\\app.exe|b\"|C:\\Tools\\Example"},
      {"app.exe\t-x", "C:\\Tools\\Example\\app.exe\t-x|-|C:\\Tools\\Example"},
      {"caf\xC3\xA9.exe \xC3\xA9", "C:\\Tools\\Example\\caf\\u00E9.exe|\\u00E9|C:\\Tools\\Example"},
      // An empty program opens the target folder.
      {"", "C:\\Tools\\Example\\|-|C:\\Tools\\Example"},
      {" a -x", "C:\\Tools\\Example\\|-x|C:\\Tools\\Example"},
      {std::string_view("app.exe\0 -x", 11), "C:\\Tools\\Example\\app.exe|-|C:\\Tools\\Example"},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(Parsed(line), expected) << line;
  // "D:" alone would be the current directory on D.
  EXPECT_EQ(Parsed("app.exe", u"D:"), "D:\\app.exe|-|D:\\");
}

TEST(RunLineTest, LinesAndPathsLongerThanTheirBufferAreSkipped) {
  RunLine parsed;
  const size_t room = kRunPathUnits - kTargetDir.size() - 1;
  EXPECT_EQ(ParseRunLine(std::string(room, 'p'), kTargetDir, &parsed), RunSkip::kNone);
  EXPECT_EQ(parsed.file.size(), kRunPathUnits);
  EXPECT_EQ(ParseRunLine(std::string(room + 1, 'p'), kTargetDir, &parsed), RunSkip::kPathTooLong);
  // A long parameter is fine as long as the whole line fits.
  const std::string program = "app.exe ";
  const std::string longest = program + std::string(kRunLineUnits - program.size(), 'x');
  EXPECT_EQ(ParseRunLine(longest, kTargetDir, &parsed), RunSkip::kNone);
  EXPECT_EQ(parsed.parameters->size(), kRunLineUnits - program.size());
  EXPECT_EQ(ParseRunLine(longest + "x", kTargetDir, &parsed), RunSkip::kLineTooLong);
}

}  // namespace
