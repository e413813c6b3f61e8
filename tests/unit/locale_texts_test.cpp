#include "installer/locale_texts.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

// "TITLE|PROMPT|TARGET,MODE|START|BUSY|PREFIX|PICTURE", read from a heap
// copy of exactly the script's size.
std::string Texts(const std::string& script, const char* locale = "") {
  const HeapScript heap(script);
  LocaleName name{locale};
  const LocaleTexts t = ReadLocaleTexts(heap.text(), &name);
  return Narrow(t.title) + "|" + Narrow(t.prompt) + "|" + Narrow(t.targetDir) + "," +
         std::to_string(static_cast<int>(t.mode)) + "|" + Narrow(t.startCaption) + "|" +
         Narrow(t.busyCaption) + "|" + Narrow(t.filePrefix) + "|" + Narrow(t.pictureName);
}

TEST(LocaleTextsTest, SevenLinesInTheirPlacesAndDefaults) {
  const std::pair<std::string, std::string> cases[] = {
      {"[locale]\r\nExample Setup\r\nInstall to:\r\nC:\\Tools\\Example\r\nInstall\r\n"
       "Installing...\r\nCopying\r\npic\\logo.png\r\n[install]\r\n",
       "Example Setup|Install "
       "to:|C:\\Tools\\Example,0|Install|Installing...|Copying|pic\\logo.png"},
      // Line 3's mode: the character after its first comma, whatever follows.
      {"[locale]\nt\np\nC:\\Fixed,0\ns\nb\nf\n", "t|p|C:\\Fixed,1|s|b|f|"},
      {"[locale]\nt\np\nC:\\Auto,1\ns\nb\nf\n", "t|p|C:\\Auto,2|s|b|f|"},
      {"[locale]\nt\np\nC:\\A,1b,0\ns\nb\nf\n", "t|p|C:\\A,2|s|b|f|"},
      {"[locale]\nt\np\nC:\\A,2\ns\nb\nf\n", "t|p|C:\\A,0|s|b|f|"},
      {"[locale]\nt\np\nC:\\A,\ns\nb\nf\n", "t|p|C:\\A,0|s|b|f|"},
      // The picture line only when it is no header; six lines whatever they hold.
      {"[locale]\nt\np\nd\ns\nb\nf\n[run]\nx.png\n", "t|p|d,0|s|b|f|"},
      {"[locale]\nt\np\nd\ns\nb\nf\nlogo.jpg", "t|p|d,0|s|b|f|logo.jpg"},
      {"[locale]\nt\np\nd\n[run]\nx.exe\nmore\n", "t|p|d,0|[run]|x.exe|more|"},
      // Missing texts keep their defaults.
      {"[install]\necho\n", "Setup||,0|Start|||"},
      {"[locale]\nMy Setup\nprompt\nC:\\X,0", "My Setup|prompt|C:\\X,1|Start|||"},
      {"[locale]", "Setup||,0|Start|||"},
      {"", "Setup||,0|Start|||"},
      {"[locale]\nGr\xC3\xBC\xC3\x9F"
       "e\n",
       "Gr\\u00FC\\u00DFe||,0|Start|||"},
  };
  for (const auto& [script, texts] : cases) EXPECT_EQ(Texts(script), texts) << script;
}

TEST(LocaleTextsTest, VariantForTheSystemsLanguage) {
  const std::string script =
      "[locale]\nSetup\n\n\n\n\n\n[locale.de]\nEinrichtung\n\n\n\n\n\n"
      "[locale.de-AT]\nInstallation\n\n\n\n\n\n";
  EXPECT_EQ(Texts(script, "de-DE"), "Einrichtung||,0||||");
  EXPECT_EQ(Texts(script, "de-AT"), "Installation||,0||||");
  EXPECT_EQ(Texts(script, "fr-FR"), "Setup||,0||||");
}

}  // namespace
