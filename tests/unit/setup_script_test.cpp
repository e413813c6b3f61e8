#include "script/setup_script.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A script in a heap block of exactly its size, as the package reader holds
// it, so that the sanitizers see any read past the end.
class Script {
 public:
  explicit Script(const std::string& text)
      : bytes_(std::make_unique<uint8_t[]>(text.size())), length_(text.size()) {
    std::copy(text.begin(), text.end(), bytes_.get());
  }
  ScriptText text() const { return {bytes_.get(), length_}; }
  size_t Offset(const uint8_t* p) const { return static_cast<size_t>(p - bytes_.get()); }

  std::vector<std::string> Body(uint8_t* body) const {
    std::vector<std::string> lines;
    WalkBody(text(), body, [&](char* line, size_t length) {
      EXPECT_EQ(line[length], '\0');
      lines.emplace_back(line, length);
    });
    return lines;
  }
  std::vector<std::string> Section(const LocaleName& locale, const char* name) const {
    return Body(FindSection(text(), locale, name));
  }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  size_t length_;
};

using Lines = std::vector<std::string>;

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

TEST(ScriptFindSectionTest, HeadersMustMatchExactly) {
  const Script script(
      "[Register]\nA\n [register]\nB\nx[register]\nC\n[run.de]\nD\n[register] note\nE\n");
  EXPECT_EQ(script.Section({}, "register"), Lines{"E"});
  // A line that does not begin with "[" does not end a body.
  EXPECT_EQ(script.Section({}, "Register"), (Lines{"A", " [register]", "B", "x[register]", "C"}));
  // The closing bracket is part of the needle.
  EXPECT_EQ(FindSection(script.text(), {}, "run"), nullptr);
  EXPECT_EQ(FindSection(script.text(), {}, "install"), nullptr);
}

TEST(ScriptFindSectionTest, VariantIsPreferredAndOnlyItIsRead) {
  const Script script("[run]\nplain.exe\n[run.de-DE]\nvariant.exe\n[install]\n");
  EXPECT_EQ(script.Section({"de-DE"}, "run"), Lines{"variant.exe"});
  EXPECT_EQ(script.Section({"fr-FR"}, "run"), Lines{"plain.exe"});
  EXPECT_EQ(script.Section({}, "install"), Lines{});
}

TEST(ScriptFindSectionTest, HeaderAfterAnAlreadyReadBodyIsFound) {
  const Script script("[locale]\nt\n[prepare]\necho a\n[register.de]\nX=1\n[run]\napp.exe\n");
  LocaleName locale{"de-DE"};
  ASSERT_NE(FindLocaleSection(script.text(), &locale), nullptr);
  EXPECT_EQ(locale.text, "");
  EXPECT_EQ(script.Section(locale, "prepare"), Lines{"echo a"});
  // [register.de]'s LF is now a NUL; with the name "de" it is still found.
  EXPECT_EQ(script.Section({"de"}, "register"), Lines{"X=1"});
  EXPECT_EQ(script.Section(locale, "run"), Lines{"app.exe"});
}

TEST(ScriptFindSectionTest, TryOrderDecidesBetweenDuplicates) {
  // After [a] is read, the second [run] follows a NUL and the first an LF.
  // (A header at position 0 would qualify for either separator.)
  const Script script("x\n[run]\none\n[a]\nx\n[run]\ntwo\n[run.de]\nv1\n[a.de]\ny\n[run.de]\nv2\n");
  script.Body(FindSection(script.text(), {}, "a"));
  script.Body(FindSection(script.text(), {"de"}, "a"));
  // A plain header is taken after a NUL first, a variant after an LF first.
  EXPECT_EQ(script.Section({}, "run"), Lines{"two"});
  EXPECT_EQ(script.Section({"de"}, "run"), Lines{"v1"});
}

TEST(ScriptFindLocaleSectionTest, NarrowsTheLocaleName) {
  const Script script("[locale]\nplain\n[locale.de]\ngerman\n[install.de]\nde\n[install]\nx\n");
  LocaleName locale{"de-AT"};
  EXPECT_EQ(script.Body(FindLocaleSection(script.text(), &locale)), Lines{"german"});
  EXPECT_EQ(locale.text, "de");
  EXPECT_EQ(script.Section(locale, "install"), Lines{"de"});
}

TEST(ScriptFindLocaleSectionTest, FullNameKeptWhenItsVariantExists) {
  const Script script("[locale.de]\nde\n[locale.de-AT]\nat\n");
  LocaleName locale{"de-AT"};
  EXPECT_EQ(script.Body(FindLocaleSection(script.text(), &locale)), Lines{"at"});
  EXPECT_EQ(locale.text, "de-AT");
}

TEST(ScriptFindLocaleSectionTest, OnlyPlainLocaleEmptiesTheName) {
  const Script script("[register.de]\nvariant\n[register]\nplain\n[locale]\nt\n");
  LocaleName locale{"de-DE"};
  EXPECT_EQ(script.Body(FindLocaleSection(script.text(), &locale)), Lines{"t"});
  EXPECT_EQ(locale.text, "");
  EXPECT_EQ(script.Section(locale, "register"), Lines{"plain"});
}

TEST(ScriptFindLocaleSectionTest, NoLocaleSectionGivesNull) {
  const Script script("[locale.fr]\nt\n");
  LocaleName locale{"de-DE"};
  EXPECT_EQ(FindLocaleSection(script.text(), &locale), nullptr);
  EXPECT_EQ(locale.text, "");
  LocaleName none;
  const Script empty("");
  EXPECT_EQ(FindLocaleSection(empty.text(), &none), nullptr);
}

TEST(ScriptWalkBodyTest, EmptyLinesAndCrLf) {
  const Script script("[run] ignored\r\na.exe\r\n\r\nb.exe\n\n[x]\n");
  EXPECT_EQ(script.Section({}, "run"), (Lines{"a.exe", "", "b.exe", ""}));
}

TEST(ScriptWalkBodyTest, UnterminatedTextIsReadUpToItsEnd) {
  // Last line without LF: it counts, ending at the end of the text.
  const Script noLf("[run]\na.exe\nb.exe");
  EXPECT_EQ(noLf.Section({}, "run"), (Lines{"a.exe", "b.exe"}));
  // A trailing LF makes no empty line after it.
  const Script lf("[run]\na.exe\n");
  EXPECT_EQ(lf.Section({}, "run"), Lines{"a.exe"});
  // A header at the very end has an empty body.
  const Script header("x\n[run]");
  uint8_t* body = FindSection(header.text(), {}, "run");
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(header.Offset(body), 7u);
  EXPECT_EQ(header.Body(body), Lines{});
  const Script cr("[run]\nlast\r");
  EXPECT_EQ(cr.Section({}, "run"), Lines{"last\r"});  // a CR counts only before an LF
}

TEST(ScriptTakeLineTest, EndsTheLineInPlace) {
  Script script("ab\r\ncd\n\nef");
  uint8_t* p = script.text().bytes;
  const uint8_t* end = script.text().end();
  size_t length = 99;
  p = TakeLine(p, end, &length);
  EXPECT_EQ(length, 2u);
  EXPECT_EQ(script.Offset(p), 4u);
  EXPECT_EQ(script.text().bytes[2], 0);
  EXPECT_EQ(script.text().bytes[3], 0);
  p = TakeLine(p, end, &length);
  EXPECT_EQ(length, 2u);
  p = TakeLine(p, end, &length);
  EXPECT_EQ(length, 0u);
  p = TakeLine(p, end, &length);
  EXPECT_EQ(length, 2u);
  EXPECT_EQ(p, end);
}

TEST(ScriptLineReaderTest, LocaleStyleReadingTakesHeaderLinesToo) {
  const Script script("[locale]\n1\n2\n[run]\nx");
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
