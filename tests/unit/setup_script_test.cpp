#include "script/setup_script.h"

#include <gtest/gtest.h>

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

TEST(ScriptTakeLineTest, EndsTheLineInPlace) {
  const HeapScript script("ab\r\ncd\n\nef");
  uint8_t* p = script.text().bytes;
  const uint8_t* end = script.text().end();
  size_t length = 99;
  p = TakeLine(p, end, &length);
  EXPECT_EQ(length, 2u);
  EXPECT_EQ(p, script.text().bytes + 4);
  EXPECT_EQ(script.text().bytes[2], 0);
  EXPECT_EQ(script.text().bytes[3], 0);
  for (size_t expected : {2u, 0u, 2u}) {
    p = TakeLine(p, end, &length);
    EXPECT_EQ(length, expected);
  }
  EXPECT_EQ(p, end);
}

TEST(ScriptLineReaderTest, LocaleStyleReadingTakesHeaderLinesToo) {
  const HeapScript script("[locale]\n1\n2\n[run]\nx");
  LocaleName locale;
  LineReader reader(script.text(), FindLocaleSection(script.text(), &locale));
  char* line;
  size_t length;
  Lines lines;
  while (reader.Next(&line, &length)) lines.emplace_back(line, length);
  EXPECT_EQ(lines, (Lines{"1", "2", "[run]", "x"}));
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_FALSE(reader.Next(&line, &length));
}

}  // namespace
