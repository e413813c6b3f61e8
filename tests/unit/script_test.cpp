// The script's sections, the locale name that picks their variants, and
// the batch files composed from them.
#include <gtest/gtest.h>

#include <cstring>

#include "script/batch_file.h"
#include "script/locale_name.h"
#include "script/setup_script.h"
#include "test_support.h"

namespace {

TEST(ScriptFindAtLineStartTest, MatchesOnlyAtTheStartOrAfterTheSeparator) {
  const std::string text = "x[run]\n[run]\n";
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  EXPECT_EQ(FindAtLineStart(bytes, text.size(), '\n', "[run]"), bytes + 12);
  EXPECT_EQ(FindAtLineStart(bytes + 1, 5, '\n', "[run]"), bytes + 6);  // position 0 qualifies
  EXPECT_EQ(FindAtLineStart(bytes, text.size(), '\0', "[run]"), nullptr);
  EXPECT_EQ(FindAtLineStart(bytes, text.size(), '\n', "[run]x", 5), bytes + 12);
  // Never compares past textLength: "[run" is there, "]" is not counted.
  EXPECT_EQ(FindAtLineStart(bytes, 11, '\n', "[run]"), nullptr);
}

// Lookups in order on one script: reading a body ends its lines in place,
// which changes what later lookups find. Section "locale" is
// FindLocaleSection, which narrows the name to `narrowed`.
struct Lookup {
  const char* locale;
  const char* section;
  Lines lines;
  const char* narrowed = "";
};

TEST(ScriptFindSectionTest, HeadersVariantsAndLocaleNarrowing) {
  const struct {
    const char* script;
    std::vector<Lookup> lookups;
  } cases[] = {
      // Headers match exactly; a line that does not begin with "[" ends no
      // body; the closing bracket is part of the needle.
      {"[Register]\nA\n [register]\nB\nx[register]\nC\n[run.de]\nD\n[register] note\nE\n",
       {{"", "register", {"E"}},
        {"", "Register", {"A", " [register]", "B", "x[register]", "C"}},
        {"", "run", {"(absent)"}},
        {"", "install", {"(absent)"}}}},
      {"[run]\nplain.exe\n[run.de-DE]\nvariant.exe\n[install]\n",
       {{"de-DE", "run", {"variant.exe"}}, {"fr-FR", "run", {"plain.exe"}}, {"", "install", {}}}},
      // [register.de]'s LF is a NUL once [locale] was read: still found.
      {"[locale]\nt\n[prepare]\necho a\n[register.de]\nX=1\n[run]\napp.exe\n",
       {{"de-DE", "locale", {"t"}, ""},
        {"", "prepare", {"echo a"}},
        {"de", "register", {"X=1"}},
        {"", "run", {"app.exe"}}}},
      // After [a] is read the second [run] follows a NUL, the first an LF: a
      // plain header is taken after a NUL first, a variant after an LF first.
      {"x\n[run]\none\n[a]\nx\n[run]\ntwo\n[run.de]\nv1\n[a.de]\ny\n[run.de]\nv2\n",
       {{"", "a", {"x"}}, {"de", "a", {"y"}}, {"", "run", {"two"}}, {"de", "run", {"v1"}}}},
      {"[locale]\nplain\n[locale.de]\ngerman\n[install.de]\nde\n[install]\nx\n",
       {{"de-AT", "locale", {"german"}, "de"}, {"de", "install", {"de"}}}},
      {"[locale.de]\nde\n[locale.de-AT]\nat\n", {{"de-AT", "locale", {"at"}, "de-AT"}}},
      {"[register.de]\nvariant\n[register]\nplain\n[locale]\nt\n",
       {{"de-DE", "locale", {"t"}, ""}, {"", "register", {"plain"}}}},
      {"[locale.fr]\nt\n", {{"de-DE", "locale", {"(absent)"}, ""}}},
      {"[locale.de]\nt\n", {{"de-", "locale", {"t"}, "de"}}},
      {"", {{"", "locale", {"(absent)"}, ""}}},
      // Line ends: CR LF or LF, empty lines kept, a last line without LF
      // counted, none after a trailing LF, a lone CR kept as text.
      {"[run] ignored\r\na.exe\r\n\r\nb.exe\n\n[x]\n", {{"", "run", {"a.exe", "", "b.exe", ""}}}},
      {"[run]\na.exe\nb.exe", {{"", "run", {"a.exe", "b.exe"}}}},
      {"[run]\na.exe\n", {{"", "run", {"a.exe"}}}},
      {"x\n[run]", {{"", "run", {}}}},
      {"[run]\nlast\r", {{"", "run", {"last\r"}}}},
  };
  for (const auto& c : cases) {
    const HeapScript script(c.script);
    for (const Lookup& lookup : c.lookups) {
      SCOPED_TRACE(testing::Message()
                   << c.script << " / " << lookup.section << "." << lookup.locale);
      LocaleName name{lookup.locale};
      if (std::string_view(lookup.section) == "locale") {
        EXPECT_EQ(script.Body(FindLocaleSection(script.text(), &name)), lookup.lines);
        EXPECT_EQ(name.text, lookup.narrowed);
      } else {
        EXPECT_EQ(script.Section(name, lookup.section), lookup.lines);
      }
    }
  }
  const HeapScript header("x\n[run]");
  EXPECT_EQ(FindSection(header.text(), {}, "run"), header.text().end());
}

TEST(ScriptLineReaderTest, LocaleStyleReadingTakesHeaderLinesToo) {
  // Each line is ended in place, CR and LF, but the last: the text ends before
  // its "y", and it is handed out with a NUL all the same.
  const HeapScript script("[locale]\n1\r\n\n2\n[run]\nxy");
  const ScriptText text{script.text().bytes, script.text().length - 1};
  LocaleName locale;
  LineReader reader(text, FindLocaleSection(text, &locale));
  char* line;
  size_t length;
  Lines lines;
  while (reader.Next(&line, &length)) {
    EXPECT_EQ(std::strlen(line), length);
    lines.emplace_back(line, length);
  }
  EXPECT_EQ(lines, (Lines{"1", "", "2", "[run]", "x"}));
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_FALSE(reader.Next(&line, &length));
}

TEST(ComposeLocaleNameTest, TwoLettersHyphenAndABoundedCountry) {
  const std::u16string longCountry(40, u'A');
  const struct {
    std::u16string_view language, country;
    const char* name;
  } cases[] = {
      {u"de", u"DE", "de-DE"},
      {u"es", u"419", "es-419"},
      {u"haw", u"US", "ha-US"},  // a third letter is dropped
      // The terminator of a short language comes before the hyphen.
      {u"x", u"DE", "x"},
      {u"", u"DE", ""},
      {u"de", u"", "de-"},
      {std::u16string_view(u"d\0e", 3), u"DE", "d"},
      {u"de", longCountry, "de-AAAAAAAAAAAAAAAAAAAAAAAAAAAA"},  // 28 of them
  };
  for (const auto& c : cases) EXPECT_EQ(ComposeLocaleName(c.language, c.country).text, c.name);
}

// Latin-1 stands in for the OEM code page: one byte per unit, "?" for the rest.
std::string Latin1(std::u16string_view text) {
  std::string bytes;
  for (char16_t unit : text) bytes += unit < 0x100 ? static_cast<char>(unit) : '?';
  return bytes;
}

const ShellFolders kFolders = {
    true,
    {u"C:\\Users\\Public\\Desktop", u"C:\\ProgramData\\Start Menu", u"C:\\ProgramData\\Programs",
     u"C:\\ProgramData\\Startup", u"C:\\Program\u00DFData"}};
const std::string kFolderLines =
    "set Desktop=C:\\Users\\Public\\Desktop\r\nset StartMenu=C:\\ProgramData\\Start Menu\r\n"
    "set Programs=C:\\ProgramData\\Programs\r\nset Startup=C:\\ProgramData\\Startup\r\n"
    "set AppData=C:\\Program\xDF"
    "Data\r\n";

// The batch for `kind` from a whole script, as the setup composes it.
std::string Compose(const std::string& text, BatchKind kind, const ShellFolders& folders = kFolders,
                    bool wow64 = false) {
  const HeapScript script(text);
  const BatchSection& section = BatchSectionOf(kind, wow64);
  uint8_t* body = FindSection(script.text(), {}, section.sectionName);
  if (body == nullptr) return "(absent)";
  return ComposeBatchFile(script.text(), body, section, folders, Latin1);
}

TEST(BatchFileTest, ComposesTheFileLineByLine) {
  ShellFolders oneMissing = kFolders;
  oneMissing.values[1].clear();
  const std::string marker = "set_system_directory_here";
  const std::string longLine = "echo " + std::string(3000, 'x');  // no line buffer to cut it
  const struct {
    std::string script;
    BatchKind kind;
    std::string expected;
    ShellFolders folders = kFolders;
    bool wow64 = false;
  } cases[] = {
      {"[prepare]\necho a\n" + marker + "\n[run]\n", BatchKind::kPrepare,
       "echo a\r\n" + kFolderLines + "del prepare.bat\r\n"},
      {"[install]\n" + marker + "\n[x]\n", BatchKind::kInstall,
       "set Desktop=C:\\Users\\Public\\Desktop\r\nset StartMenu=\r\nset Programs=C:\\ProgramData\\"
       "Programs\r\nset Startup=C:\\ProgramData\\Startup\r\nset AppData=C:\\Program\xDF"
       "Data\r\ndel install.bat\r\n",
       oneMissing},
      // Without the key each marker line vanishes; with it each is replaced.
      {"[install]\n" + marker + "\na\n" + marker + "\n[x]\n", BatchKind::kInstall,
       "a\r\ndel install.bat\r\n", ShellFolders{}},
      {"[uninstall]\n" + marker + "\n" + marker + "\n", BatchKind::kUninstall,
       kFolderLines + kFolderLines},
      // The marker is compared after conversion, where ill-formed bytes are gone.
      {"[install]\nset_system_\x80" + marker.substr(11) + "\n[x]\n", BatchKind::kInstall,
       "del install.bat\r\n", ShellFolders{}},
      {"[install]\necho a\n\necho b\n[run]\n", BatchKind::kInstall,
       "echo a\r\n\r\necho b\r\ndel install.bat\r\n"},
      {"[install]\r\necho a\r\n\r\necho b\r\n[run]\r\n", BatchKind::kInstall,
       "echo a\r\n\r\necho b\r\ndel install.bat\r\n"},
      {"[install]\na\rb\n", BatchKind::kInstall, "a\rb\r\ndel install.bat\r\n"},
      {"[install]\n[run]\napp.exe\n", BatchKind::kInstall, "del install.bat\r\n"},
      {"[uninstall]\n[run]\n", BatchKind::kUninstall, ""},
      {"[run]\napp.exe\n", BatchKind::kInstall, "(absent)"},
      {"[install]\necho caf\xC3\xA9 \xE2\x82\xAC\n", BatchKind::kInstall,
       "echo caf\xE9 ?\r\ndel install.bat\r\n"},
      {"[install]\n" + longLine + "\n", BatchKind::kInstall, longLine + "\r\ndel install.bat\r\n"},
      // No fallback: on 64-bit Windows a script with only [bin_32] writes nothing.
      {"[bin_32]\necho 32\n[x]\n", BatchKind::kBin, "(absent)", kFolders, true},
      {"[bin_32]\necho 32\n[x]\n", BatchKind::kBin, "echo 32\r\ndel install_bin.bat\r\n"},
      {"[bin_64]\necho 64\n", BatchKind::kBin, "echo 64\r\ndel install_bin.bat\r\n", kFolders,
       true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Compose(c.script, c.kind, c.folders, c.wow64), c.expected) << c.script;
  }
  for (const char* line : {"set_system_directory_here ", " set_system_directory_here",
                           "Set_system_directory_here", "set_system_directory_here;"}) {
    EXPECT_EQ(Compose(std::string("[prepare]\necho a\n") + line + "\n[x]\n", BatchKind::kPrepare),
              std::string("echo a\r\n") + line + "\r\ndel prepare.bat\r\n");
  }
  EXPECT_EQ(BatchCommandParameters(u"install.bat"), u"/c \"install.bat\"");
}

}  // namespace
