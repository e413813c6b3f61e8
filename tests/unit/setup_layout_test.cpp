#include "installer/setup_layout.h"

#include <gtest/gtest.h>

#include "installer/install_target.h"
#include "platform/windows_path.h"

namespace {

TEST(SetupLayoutTest, PictureSetsTheWidthAndPushesTheRowsDown) {
  const SetupLayout layout = ComputeSetupLayout({400, 120, 16, 23, 1280, 1024});
  // H = 120 + 23 + 3 * 16 + 64 = 255.
  EXPECT_EQ(layout.picture, (LayoutRect{0, 0, 400, 120}));
  EXPECT_EQ(layout.window, (LayoutRect{440, 384, 400, 255}));
  EXPECT_EQ(layout.status, (LayoutRect{30, 128, 310, 24}));
  EXPECT_EQ(layout.target, (LayoutRect{30, 152, 310, 24}));
  EXPECT_EQ(layout.browse, (LayoutRect{350, 152, 30, 24}));
  EXPECT_EQ(layout.progress, (LayoutRect{30, 152, 340, 24}));
  EXPECT_EQ(layout.start, (LayoutRect{150, 186, 100, 30}));
}

TEST(SetupLayoutTest, NoPictureIsFiveHundredWide) {
  const SetupLayout layout = ComputeSetupLayout({0, 0, 13, 18, 800, 600});
  EXPECT_EQ(layout.picture, (LayoutRect{0, 0, 0, 0}));
  EXPECT_EQ(layout.window, (LayoutRect{150, 239, 500, 18 + 39 + 64}));
  EXPECT_EQ(layout.status.y, 8);
  EXPECT_EQ(layout.start, (LayoutRect{200, 60, 100, 27}));
}

TEST(SetupLayoutTest, LargerThanTheScreenCentresTowardZero) {
  // (1000 - 1001) / 2 is 0, not -1; (600 - 1203) / 2 is -301.
  const SetupLayout layout = ComputeSetupLayout({1001, 1100, 1, 36, 1000, 600});
  EXPECT_EQ(layout.window.x, 0);
  EXPECT_EQ(layout.window.y, -301);
  EXPECT_EQ(layout.start.x, 450);  // (1001 - 100) / 2
}

TEST(InstallTargetTest, CommandLineLosesOnePairOfQuotes) {
  EXPECT_EQ(TargetFromCommandLine(u"\"C:\\My Tools\""), u"C:\\My Tools");
  EXPECT_EQ(TargetFromCommandLine(u"C:\\Tools"), u"C:\\Tools");
  EXPECT_EQ(TargetFromCommandLine(u"\"C:\\Tools"), u"\"C:\\Tools");
  EXPECT_EQ(TargetFromCommandLine(u"\""), u"\"");
  EXPECT_EQ(TargetFromCommandLine(u"\"\""), u"");
  EXPECT_EQ(TargetFromCommandLine(u"\"C:\\My Dir\" \t "), u"C:\\My Dir") << "blanks after it";
}

TEST(InstallTargetTest, FieldLosesOneTrailingBackslashAndMustFit) {
  EXPECT_EQ(TargetFromField(u"C:\\Tools\\"), u"C:\\Tools");
  EXPECT_EQ(TargetFromField(u"C:\\Tools\\\\"), u"C:\\Tools\\");
  EXPECT_EQ(TargetFromField(u"D:\\"), u"D:");
  EXPECT_EQ(TargetFromField(u""), u"");
  const std::u16string longest = u"C:\\" + std::u16string(kTargetDirUnits - 3, u'a');
  EXPECT_EQ(TargetFromField(longest), longest);
  EXPECT_EQ(TargetFromField(longest + u"a"), u"") << "a cut path would be another folder";
  EXPECT_EQ(TargetFromField(longest + u"\\"), u"") << "measured before the backslash goes";
}

TEST(InstallTargetTest, WindowsPathForms) {
  const std::pair<std::u16string_view, size_t> roots[] = {
      {u"Z:\\a", 3},      {u"a:", 2},           {u"C:a", 0},       {u"a\\b", 0},
      {u"\\a", 0},        {u"\\\\s\\sh\\a", 7}, {u"\\\\s\\sh", 6}, {u"\\\\s", 0},
      {u"\\\\s\\\\a", 0}, {u"\\\\?\\C:\\a", 7}, {u"\\\\?\\x", 0},  {u"1:\\a", 0}};
  for (const auto& [path, root] : roots) {
    EXPECT_EQ(PathRootLength(path), root) << std::string(path.begin(), path.end());
  }
  const std::u16string plain = u"C:\\" + std::u16string(kPlainPathUnits - 3, u'a');
  EXPECT_EQ(LongPathForm(plain), plain);
  EXPECT_EQ(LongPathForm(plain + u"b"), u"\\\\?\\" + plain + u"b");
  EXPECT_EQ(LongPathForm(u"\\\\?\\" + plain + u"b"), u"\\\\?\\" + plain + u"b") << "already";
  const std::u16string share = u"\\\\s\\sh\\" + std::u16string(kPlainPathUnits, u'a');
  EXPECT_EQ(LongPathForm(share), u"\\\\?\\UNC\\" + share.substr(2));
  const std::u16string relative = u"rel\\" + std::u16string(kPlainPathUnits, u'a');
  EXPECT_EQ(LongPathForm(relative), relative) << "the form needs an absolute path";
  EXPECT_EQ(DirectoryForm(u"R:"), u"R:\\") << "R: alone is the current directory on R";
  EXPECT_EQ(DirectoryForm(u"R:\\x"), u"R:\\x");
  EXPECT_EQ(DirectoryForm(u"Rx"), u"Rx");
}

}  // namespace
