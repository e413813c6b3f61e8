#include "installer/setup_layout.h"

#include <gtest/gtest.h>

#include "installer/install_target.h"

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

}  // namespace
