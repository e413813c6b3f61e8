#include "installer/locale_texts.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// Reads the texts from a heap copy of exactly the script's size, so that the
// sanitizers catch a read past its end.
LocaleTexts Read(const std::string& script, std::string locale = "") {
  auto bytes = std::make_unique<uint8_t[]>(script.size() + 1);
  std::copy(script.begin(), script.end(), bytes.get());
  LocaleName name{std::move(locale)};
  return ReadLocaleTexts(ScriptText{bytes.get(), script.size()}, &name);
}

TEST(LocaleTextsTest, SevenLinesInTheirPlaces) {
  const LocaleTexts texts = Read(
      "[locale]\r\nExample Setup\r\nInstall to:\r\nC:\\Tools\\Example\r\nInstall\r\n"
      "Installing...\r\nCopying\r\npic\\logo.png\r\n[install]\r\n");
  EXPECT_EQ(texts.title, u"Example Setup");
  EXPECT_EQ(texts.prompt, u"Install to:");
  EXPECT_EQ(texts.targetDir, u"C:\\Tools\\Example");
  EXPECT_EQ(texts.mode, TargetMode::kChoose);
  EXPECT_EQ(texts.startCaption, u"Install");
  EXPECT_EQ(texts.busyCaption, u"Installing...");
  EXPECT_EQ(texts.filePrefix, u"Copying");
  EXPECT_EQ(texts.pictureName, u"pic\\logo.png");
}

TEST(LocaleTextsTest, TargetLineModes) {
  EXPECT_EQ(Read("[locale]\nt\np\nC:\\Fixed,0\ns\nb\nf\n").mode, TargetMode::kFixed);
  const LocaleTexts automatic = Read("[locale]\nt\np\nC:\\Auto,1\ns\nb\nf\n");
  EXPECT_EQ(automatic.mode, TargetMode::kAutomatic);
  EXPECT_EQ(automatic.targetDir, u"C:\\Auto");
  // The folder is cut at its first comma, and the character after it is
  // the mode, whatever follows.
  const LocaleTexts comma = Read("[locale]\nt\np\nC:\\A,1b,0\ns\nb\nf\n");
  EXPECT_EQ(comma.targetDir, u"C:\\A");
  EXPECT_EQ(comma.mode, TargetMode::kAutomatic);
  EXPECT_EQ(Read("[locale]\nt\np\nC:\\A,2\ns\nb\nf\n").mode, TargetMode::kChoose);
  const LocaleTexts trailing = Read("[locale]\nt\np\nC:\\A,\ns\nb\nf\n");
  EXPECT_EQ(trailing.targetDir, u"C:\\A");
  EXPECT_EQ(trailing.mode, TargetMode::kChoose);
}

TEST(LocaleTextsTest, PictureLineOnlyWhenItIsNoHeader) {
  EXPECT_EQ(Read("[locale]\nt\np\nd\ns\nb\nf\n[run]\nx.png\n").pictureName, u"");
  EXPECT_EQ(Read("[locale]\nt\np\nd\ns\nb\nf\n").pictureName, u"");
  EXPECT_EQ(Read("[locale]\nt\np\nd\ns\nb\nf\nlogo.jpg").pictureName, u"logo.jpg");
}

TEST(LocaleTextsTest, ShortBodyTakesTheFollowingLines) {
  // Six lines are taken whatever they hold: the next header fills a place.
  const LocaleTexts texts = Read("[locale]\nt\np\nd\n[run]\nx.exe\nmore\n");
  EXPECT_EQ(texts.startCaption, u"[run]");
  EXPECT_EQ(texts.busyCaption, u"x.exe");
  EXPECT_EQ(texts.filePrefix, u"more");
}

TEST(LocaleTextsTest, MissingTextsGetDefaults) {
  const LocaleTexts none = Read("[install]\necho\n");
  EXPECT_EQ(none.title, u"Setup");
  EXPECT_EQ(none.startCaption, u"Start");
  EXPECT_EQ(none.prompt, u"");
  EXPECT_EQ(none.targetDir, u"");

  // The text ends after the third line, without its LF.
  const LocaleTexts cut = Read("[locale]\nMy Setup\nprompt\nC:\\X,0");
  EXPECT_EQ(cut.title, u"My Setup");
  EXPECT_EQ(cut.targetDir, u"C:\\X");
  EXPECT_EQ(cut.mode, TargetMode::kFixed);
  EXPECT_EQ(cut.startCaption, u"Start");
  EXPECT_EQ(cut.busyCaption, u"");

  EXPECT_EQ(Read("[locale]").title, u"Setup");
  EXPECT_EQ(Read("").title, u"Setup");
}

TEST(LocaleTextsTest, VariantForTheSystemsLanguage) {
  const std::string script =
      "[locale]\nSetup\n\n\n\n\n\n[locale.de]\nEinrichtung\n\n\n\n\n\n"
      "[locale.de-AT]\nInstallation\n\n\n\n\n\n";
  EXPECT_EQ(Read(script, "de-DE").title, u"Einrichtung");
  EXPECT_EQ(Read(script, "de-AT").title, u"Installation");
  EXPECT_EQ(Read(script, "fr-FR").title, u"Setup");
}

TEST(LocaleTextsTest, Utf8IsConverted) {
  EXPECT_EQ(Read("[locale]\nGr\xC3\xBC\xC3\x9F"
                 "e\n")
                .title,
            u"Gr\u00FC\u00DFe");
}

}  // namespace
