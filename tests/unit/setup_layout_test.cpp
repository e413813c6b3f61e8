#include "installer/setup_layout.h"

#include <gtest/gtest.h>

#include "installer/command_line.h"
#include "installer/install_target.h"
#include "platform/windows_path.h"
#include "test_support.h"

namespace {

TEST(SetupLayoutTest, PictureSizeLineHeightAndScreenPlaceEverything) {
  // H = 120 + 23 + 3 * 16 + 64 = 255.
  const SetupLayout layout = ComputeSetupLayout({400, 120, 16, 23, 1280, 1024});
  EXPECT_EQ(layout.picture, (LayoutRect{0, 0, 400, 120}));
  EXPECT_EQ(layout.window, (LayoutRect{440, 384, 400, 255}));
  EXPECT_EQ(layout.status, (LayoutRect{30, 128, 310, 24}));
  EXPECT_EQ(layout.target, (LayoutRect{30, 152, 310, 24}));
  EXPECT_EQ(layout.browse, (LayoutRect{350, 152, 30, 24}));
  EXPECT_EQ(layout.progress, (LayoutRect{30, 152, 340, 24}));
  EXPECT_EQ(layout.start, (LayoutRect{150, 186, 100, 30}));
  // No picture: 500 wide, the rows at the top.
  const SetupLayout bare = ComputeSetupLayout({0, 0, 13, 18, 800, 600});
  EXPECT_EQ(bare.picture, (LayoutRect{0, 0, 0, 0}));
  EXPECT_EQ(bare.window, (LayoutRect{150, 239, 500, 18 + 39 + 64}));
  EXPECT_EQ(bare.status.y, 8);
  EXPECT_EQ(bare.start, (LayoutRect{200, 60, 100, 27}));
  // Larger than the screen: (1000 - 1001) / 2 is 0, not -1; (600 - 1203) / 2 is -301.
  const SetupLayout large = ComputeSetupLayout({1001, 1100, 1, 36, 1000, 600});
  EXPECT_EQ(large.window.x, 0);
  EXPECT_EQ(large.window.y, -301);
  EXPECT_EQ(large.start.x, 450);  // (1001 - 100) / 2
  // At 144 and 192 DPI every fixed length grows by half or doubles (rounded
  // to the pixel); the picture and the line come in scaled already.
  const SetupLayout wide = ComputeSetupLayout({600, 180, 24, 34, 1920, 1080, 144});
  EXPECT_EQ(wide.window, (LayoutRect{660, 349, 600, 180 + 34 + 72 + 96}));
  EXPECT_EQ(wide.status, (LayoutRect{45, 192, 465, 36}));
  EXPECT_EQ(wide.browse, (LayoutRect{525, 228, 45, 36}));
  EXPECT_EQ(wide.start, (LayoutRect{225, 279, 150, 45}));
  EXPECT_EQ(ComputeSetupLayout({0, 0, 26, 46, 2560, 1440, 192}).window.width, 1000);
  for (const auto& [length, dpi, scaled] :
       {std::tuple{7, 120, 9}, {7, 96, 7}, {-7, 144, -11}, {1, 0, 1}, {13, 168, 23}}) {
    EXPECT_EQ(ScaleForDpi(length, dpi), scaled) << length << " at " << dpi;
  }
}

TEST(InstallTargetTest, CommandLineAndFieldGiveTheFolderOrNothing) {
  const std::u16string longest = u"C:\\" + std::u16string(kTargetDirUnits - 3, u'a');
  const struct {
    std::u16string in;
    std::u16string commandLine, field;
  } cases[] = {
      // One pair of quotes goes (blanks after it first), one trailing backslash.
      {u"\"C:\\My Tools\"", u"C:\\My Tools", u"\"C:\\My Tools\""},
      {u"\"C:\\My Dir\" \t ", u"C:\\My Dir", u"\"C:\\My Dir\" \t "},
      {u"\"C:\\Tools", u"\"C:\\Tools", u"\"C:\\Tools"},
      {u"\"", u"\"", u"\""},
      {u"\"\"", u"", u"\"\""},
      {u"C:\\Tools\\", u"C:\\Tools\\", u"C:\\Tools"},
      {u"C:\\Tools\\\\", u"C:\\Tools\\\\", u"C:\\Tools\\"},
      {u"D:\\", u"D:\\", u"D:"},
      {u"", u"", u""},
      // A field too long is no folder: cut, it would be another; measured
      // before the backslash goes.
      {longest, longest, longest},
      {longest + u"a", longest + u"a", u""},
      {longest + u"\\", longest + u"\\", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TargetFromCommandLine(c.in), c.commandLine) << Narrow(c.in).substr(0, 20);
    EXPECT_EQ(TargetFromField(c.in), c.field) << Narrow(c.in).substr(0, 20);
  }
}

TEST(InstallTargetTest, SwitchesAndFolders) {
  // "kind silent folder|refused"; kind: W window, F folder, S switches, H help, R refused.
  const std::pair<std::u16string_view, const char*> cases[] = {
      {u"", "W 0 "},
      {u"  ", "W 0 "},
      {u"C:\\My Dir ", "F 1 C:\\My Dir"},
      {u"\"C:\\Q\"", "F 1 C:\\Q"},
      {u"/S", "S 1 "},
      {u" /S /D=C:\\Some Dir  ", "S 1 C:\\Some Dir"},
      {u"/D=C:\\a /S", "S 0 C:\\a /S"},  // /D= takes the rest of the line
      {u"/D=", "S 0 "},
      {u"/s", "R 0 /s"},
      {u"/S /X", "R 1 /X"},
      {u"/S folder", "R 1 folder"},
      {u"/X /S folder /D=C:\\a", "R 1 /X"},  // silent all the same
      {u"/X /?", "H 0 "},
      {u"/?", "H 0 "},
      {u"/S /? /X", "H 1 "},
      {u"/WAIT=86401 /S", "R 1 /WAIT=86401"},
      {u"/WAIT=1s", "R 0 /WAIT=1s"},
      // A quoted word is one, quotes dropped: "/D=" with blanks anywhere.
      {u"/S \"/D=C:\\x y\"", "S 1 C:\\x y"},
      {u" \"/D=C:\\x y\" /S", "S 1 C:\\x y"},
      {u"/D=\"C:\\x y\" /S", "S 1 C:\\x y"},
      {u"/S \"/X y\"", "R 1 /X y"},
      {u"/allowdowngrade", "R 0 /allowdowngrade"},
      {u"\"C:\\x y\"", "F 1 C:\\x y"},
  };
  for (const auto& [tail, expected] : cases) {
    const SetupCommand command = ParseSetupCommand(tail);
    const std::string kinds = "WFSHR";
    const std::string text =
        std::string(1, kinds[static_cast<size_t>(command.kind)]) + " " +
        (command.silent ? "1 " : "0 ") +
        Narrow(command.kind == CommandKind::kRefused ? command.refused : command.folder);
    EXPECT_EQ(text, expected) << Narrow(tail);
  }
  // /LOG= takes one word, or a quoted path with blanks; /D= still comes last.
  EXPECT_EQ(Narrow(ParseSetupCommand(u"/S /LOG=C:\\a.log /D=C:\\x").logFile), "C:\\a.log");
  const SetupCommand quoted = ParseSetupCommand(u"/LOG=\"C:\\my logs\\a.log\" /S /D=C:\\x y");
  EXPECT_EQ(Narrow(quoted.logFile), "C:\\my logs\\a.log");
  EXPECT_TRUE(quoted.silent);
  EXPECT_EQ(Narrow(quoted.folder), "C:\\x y");
  EXPECT_EQ(quoted.lockWaitSeconds, kDefaultLockWaitSeconds);
  EXPECT_EQ(ParseSetupCommand(u"/S /WAIT=0").lockWaitSeconds, 0u);
  EXPECT_EQ(ParseSetupCommand(u"/WAIT=86400 /S").lockWaitSeconds, 86400u);
  EXPECT_TRUE(ParseSetupCommand(u"/ALLOWDOWNGRADE /S").allowDowngrade);
}

TEST(InstallTargetTest, FoldersWithinFolders) {
  const std::tuple<std::u16string_view, std::u16string_view, bool> cases[] = {
      {u"C:\\Program Files\\App", u"C:\\Program Files", true},
      {u"c:\\PROGRAM FILES", u"C:\\Program Files\\", true},
      {u"C:\\Program Files (x86)\\App", u"C:\\Program Files", false},
      {u"C:\\Program", u"C:\\Program Files", false},
      {u"D:\\Program Files\\App", u"C:\\Program Files", false},
      {u"C:\\Users\\me\\App", u"", false},
  };
  for (const auto& [path, folder, within] : cases) {
    EXPECT_EQ(IsWithinFolder(path, folder), within) << Narrow(path) << " in " << Narrow(folder);
  }
}

TEST(InstallTargetTest, WindowsPathForms) {
  const std::pair<std::u16string_view, size_t> roots[] = {
      {u"Z:\\a", 3},      {u"a:", 2},           {u"C:a", 0},       {u"a\\b", 0},
      {u"\\a", 0},        {u"\\\\s\\sh\\a", 7}, {u"\\\\s\\sh", 6}, {u"\\\\s", 0},
      {u"\\\\s\\\\a", 0}, {u"\\\\?\\C:\\a", 7}, {u"\\\\?\\x", 0},  {u"1:\\a", 0}};
  for (const auto& [path, root] : roots) EXPECT_EQ(PathRootLength(path), root) << Narrow(path);
  const std::u16string plain = u"C:\\" + std::u16string(kPlainPathUnits - 3, u'a');
  const std::u16string share = u"\\\\s\\sh\\" + std::u16string(kPlainPathUnits, u'a');
  const std::u16string relative = u"rel\\" + std::u16string(kPlainPathUnits, u'a');
  EXPECT_EQ(LongPathForm(plain), plain);
  EXPECT_EQ(LongPathForm(plain + u"b"), u"\\\\?\\" + plain + u"b");
  EXPECT_EQ(LongPathForm(u"\\\\?\\" + plain + u"b"), u"\\\\?\\" + plain + u"b") << "already";
  EXPECT_EQ(LongPathForm(share), u"\\\\?\\UNC\\" + share.substr(2));
  EXPECT_EQ(LongPathForm(relative), relative) << "the form needs an absolute path";
  EXPECT_EQ(DirectoryForm(u"R:"), u"R:\\") << "R: alone is the current directory on R";
  EXPECT_EQ(DirectoryForm(u"R:\\x"), u"R:\\x");
  EXPECT_EQ(DirectoryForm(u"Rx"), u"Rx");
}

}  // namespace
