#include "script/run_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr std::u16string_view kTargetDir = u"C:\\Tools\\Example";

RunLine Parse(std::string_view line, std::u16string_view targetDir = kTargetDir) {
  RunLine parsed;
  EXPECT_EQ(ParseRunLine(line, targetDir, &parsed), RunSkip::kNone) << line;
  return parsed;
}

TEST(RunLineTest, ProgramWithoutBlankHasNoParameters) {
  const RunLine line = Parse("app.exe");
  EXPECT_EQ(line.file, u"C:\\Tools\\Example\\app.exe");
  EXPECT_FALSE(line.parameters.has_value());
  EXPECT_EQ(line.workingDirectory, kTargetDir);
  EXPECT_EQ(Parse("readme.txt").file, u"C:\\Tools\\Example\\readme.txt");
}

TEST(RunLineTest, ParameterIsTheTextAfterTheLastBlank) {
  const RunLine quiet = Parse("bin\\app.exe /quiet");
  EXPECT_EQ(quiet.file, u"C:\\Tools\\Example\\bin\\app.exe");
  EXPECT_EQ(quiet.parameters, u"/quiet");
  EXPECT_EQ(quiet.workingDirectory, u"C:\\Tools\\Example\\bin");

  EXPECT_EQ(Parse("app.exe -a -b").parameters, u"-b");
  EXPECT_EQ(Parse("app.exe  -x").parameters, u"-x");
  EXPECT_EQ(Parse("app.exe  -x").file, u"C:\\Tools\\Example\\app.exe");
  // A trailing blank passes an empty string, not null.
  EXPECT_EQ(Parse("app.exe ").parameters, u"");
  // Quotes and tabs are ordinary characters.
  EXPECT_EQ(Parse("app.exe \"a b\"").parameters, u"b\"");
  EXPECT_EQ(Parse("app.exe\t-x").file, u"C:\\Tools\\Example\\app.exe\t-x");
  EXPECT_EQ(Parse("caf\xC3\xA9.exe \xC3\xA9").parameters, u"\u00E9");
}

TEST(RunLineTest, EmptyProgramOpensTheTargetFolder) {
  const RunLine empty = Parse("");
  EXPECT_EQ(empty.file, u"C:\\Tools\\Example\\");
  EXPECT_FALSE(empty.parameters.has_value());
  EXPECT_EQ(empty.workingDirectory, kTargetDir);

  const RunLine blankFirst = Parse(" a -x");
  EXPECT_EQ(blankFirst.file, u"C:\\Tools\\Example\\");
  EXPECT_EQ(blankFirst.parameters, u"-x");
}

TEST(RunLineTest, WorkingDirectoryOfADriveRootIsTheRoot) {
  const RunLine line = Parse("app.exe", u"D:");
  EXPECT_EQ(line.file, u"D:\\app.exe");
  EXPECT_EQ(line.workingDirectory, u"D:\\") << "D: alone is the current directory on D";
}

TEST(RunLineTest, LinesAndPathsLongerThanTheirBufferAreSkipped) {
  RunLine parsed;
  const size_t room = kRunPathUnits - kTargetDir.size() - 1;
  EXPECT_EQ(ParseRunLine(std::string(room, 'p'), kTargetDir, &parsed), RunSkip::kNone);
  EXPECT_EQ(parsed.file.size(), kRunPathUnits);
  EXPECT_EQ(ParseRunLine(std::string(room + 1, 'p'), kTargetDir, &parsed), RunSkip::kPathTooLong);
  // A long parameter is fine as long as the whole line fits.
  const std::string program = "app.exe ";
  EXPECT_EQ(
      ParseRunLine(program + std::string(kRunLineUnits - program.size(), 'x'), kTargetDir, &parsed),
      RunSkip::kNone);
  EXPECT_EQ(parsed.parameters->size(), kRunLineUnits - program.size());
  EXPECT_EQ(ParseRunLine(program + std::string(kRunLineUnits + 1 - program.size(), 'x'), kTargetDir,
                         &parsed),
            RunSkip::kLineTooLong);
}

TEST(RunLineTest, NulEndsTheLine) {
  const RunLine line = Parse(std::string_view("app.exe\0 -x", 11));
  EXPECT_EQ(line.file, u"C:\\Tools\\Example\\app.exe");
  EXPECT_FALSE(line.parameters.has_value());
}

}  // namespace
