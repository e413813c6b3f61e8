#include "builder/script_lint.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kLocale[] =
    "[locale]\n"
    "Example setup\n"
    "Choose a folder\n"
    "C:\\Example\n"
    "Start\n"
    "Installing\n"
    "Extracting\n"
    "pic\\logo.png\n";  // lines 1 to 8

const TreeFileNames kTree = {"pic\\logo.png", "bin\\app.exe"};

std::vector<LintFinding> Lint(const std::string& script) { return LintScript(script, &kTree); }

std::string Describe(const std::vector<LintFinding>& findings) {
  std::string text;
  for (const LintFinding& f : findings) {
    text += std::to_string(f.line) + (f.severity == LintSeverity::kError ? " E " : " W ") +
            f.message + "\n";
  }
  return text;
}

// Exactly one finding, on `line`, of `severity`, whose message has `part`.
void ExpectOnly(const std::string& script, size_t line, LintSeverity severity,
                const std::string& part) {
  const auto findings = Lint(script);
  ASSERT_EQ(findings.size(), 1u) << Describe(findings);
  EXPECT_EQ(findings[0].line, line) << Describe(findings);
  EXPECT_EQ(findings[0].severity, severity) << Describe(findings);
  EXPECT_NE(findings[0].message.find(part), std::string::npos) << Describe(findings);
}

constexpr auto kError = LintSeverity::kError;
constexpr auto kWarning = LintSeverity::kWarning;

TEST(ScriptLintTest, CleanScriptHasNoFindings) {
  const std::string script = std::string(kLocale) +
                             "[locale.de]\nT\nP\nC:\\B,1\nS\nI\nE\n"
                             "[register.de]\nHKEY_CURRENT_USER\\Software\\Ex\\N=DWORD:1A\n"
                             "[register]\nHKEY_LOCAL_MACHINE\\Software\\Ex\\=C:\\Dir\n\n"
                             "[shortcuts]\nEx.lnk=bin\\app.exe;Starts it\n"
                             "[prepare]\necho a\nset_system_directory_here\n"
                             "[run]\nbin\\app.exe /quiet";
  EXPECT_EQ(Describe(Lint(script)), "");
  EXPECT_FALSE(HasErrors(Lint(script)));
}

TEST(ScriptLintTest, LocaleSection) {
  ExpectOnly("[run]\napp.exe\n", 0, kError, "no plain [locale]");
  ExpectOnly("[locale]\na\nb\nc\nd\ne\n[run]\napp.exe\n", 1, kError, "has 5 lines");
  ExpectOnly(std::string(kLocale) + "[locale.de]\na\nb\n", 9, kError, "[locale.de] has 2 lines");
  ExpectOnly(std::string(kLocale) + "extra\n", 9, kWarning, "after the seventh");
  ExpectOnly("[locale]\na\nb\nC:\\x,2\nd\ne\nf\n", 4, kWarning, "mode 0 or 1");
}

TEST(ScriptLintTest, LocaleTextLengths) {
  const std::string long120(120, 'x');
  const std::string fits119(119, 'x');
  ExpectOnly("[locale]\na\nb\nc\nd\n" + long120 + "\nf\n", 6, kError, "line 5 is 120");
  // Units, not bytes: 119 two-byte characters still fit.
  std::string umlauts;
  for (int i = 0; i < 119; ++i) umlauts += "\xC3\xBC";
  EXPECT_EQ(Describe(Lint("[locale]\na\nb\nc\nd\n" + fits119 + "\n" + umlauts + "\n")), "");
  ExpectOnly("[locale]\n" + std::string(1024, 'x') + "\nb\nc\nd\ne\nf\n", 2, kError,
             "line 1 is 1024");
}

TEST(ScriptLintTest, Picture) {
  const std::string head = "[locale]\na\nb\nc\nd\ne\nf\n";
  ExpectOnly(head + "pic\\missing.png\n", 8, kError, "not in the tree");
  ExpectOnly(head + "pic/logo.png\n", 8, kError, "did you mean \"pic\\logo.png\"");
  ExpectOnly(head + "PIC\\logo.png\n", 8, kError, "exact case");
  const auto findings = Lint(head + "pic\\logo.PNG\n");
  ASSERT_EQ(findings.size(), 2u) << Describe(findings);
  EXPECT_NE(findings[0].message.find("exactly .png or .jpg"), std::string::npos);
  // Without a tree, only the extension is checked.
  EXPECT_TRUE(LintScript(head + "pic\\other.jpg\n", nullptr).empty());
}

TEST(ScriptLintTest, Headers) {
  ExpectOnly(std::string(kLocale) + "[run] now\napp.exe\n", 9, kWarning, "is ignored");
  ExpectOnly(std::string(kLocale) + "[Register]\n", 9, kWarning, "case-sensitive");
  ExpectOnly(std::string(kLocale) + "[setup]\nanything\n", 9, kWarning, "unknown section");
  ExpectOnly(std::string(kLocale) + "[run\n", 9, kWarning, "no \"]\"");
  ExpectOnly(std::string(kLocale) + "[run]\na.exe\n[run]\nb.exe\n", 11, kWarning,
             "also stands on line 9");
}

TEST(ScriptLintTest, ShortcutsHeaderTailIsAShortcutLine) {
  const auto findings = Lint(std::string(kLocale) + "[shortcuts] broken\n");
  ASSERT_EQ(findings.size(), 2u) << Describe(findings);
  EXPECT_NE(findings[0].message.find("first shortcut line"), std::string::npos);
  EXPECT_NE(findings[1].message.find("without \"=\""), std::string::npos);
}

TEST(ScriptLintTest, SectionsNeverReadForAnyLocale) {
  ExpectOnly(std::string(kLocale) + "[register.de]\n", 9, kWarning, "no [locale.de]");
  // The locale name stays "de" when only [locale.de] exists.
  const std::string german = "[locale.de]\na\nb\nc\nd\ne\nf\n";
  ExpectOnly(std::string(kLocale) + german + "[run.de-AT]\n", 16, kWarning, "(here de)");
  EXPECT_EQ(Describe(Lint(std::string(kLocale) + german + "[run.de]\n")), "");
  ExpectOnly(std::string(kLocale) + "[install.german]\n", 9, kWarning, "form ll or ll-CC");
  for (const char* header : {"[locale.DE]", "[locale.De]", "[locale.de-aT]", "[locale.de-A]"}) {
    ExpectOnly(std::string(kLocale) + header + "\na\nb\nc\nd\ne\nf\n", 9, kWarning,
               "form ll or ll-CC");
  }
}

struct LineCase {
  std::string line;
  LintSeverity severity;
  std::string part;
};

// Each line alone in `header`'s body, which starts on line 10.
void ExpectEach(const std::string& header, const std::vector<LineCase>& cases) {
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.line.substr(0, 40));
    ExpectOnly(std::string(kLocale) + header + "\n" + c.line + "\n", 10, c.severity, c.part);
  }
}

void ExpectClean(const std::string& header, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    EXPECT_EQ(Describe(Lint(std::string(kLocale) + header + "\n" + line + "\n")), "")
        << line.substr(0, 40);
  }
}

TEST(ScriptLintTest, RegisterLinesTheSetupSkips) {
  ExpectEach("[register]",
             {
                 {"HKEY_CURRENT_USER\\Software\\X", kError, "without \"=\" is skipped"},
                 {"Software=1", kError, "without a backslash before \"=\""},
                 {"HKEY_USERS\\=1", kError, "nothing after the root key"},
                 {"HKEY_CURRENT_USER\\Name=1", kError, "without a key path"},
                 {"HKLM\\Software\\X\\N=1", kError, "unknown root key \"HKLM\""},
                 {"hkey_users\\S\\N=1", kError, "unknown root key \"hkey_users\""},
                 {"HKEY_USERS\\" + std::string(512, 'k') + "\\N=1", kError,
                  "key path is 512 UTF-16 units long; at most 511 fit: the line is skipped"},
                 {"HKEY_USERS\\S\\" + std::string(512, 'n') + "=1", kError, "value name is 512"},
                 {"HKEY_USERS\\S\\N=" + std::string(512, 'v'), kError, "string value is 512"},
             });
  // Text after a NUL is not part of the line, so its "=" does not count.
  const auto findings =
      Lint(std::string(kLocale) + "[register]\nHKEY_USERS\\S\\N" + std::string(1, '\0') + "=1\n");
  ASSERT_EQ(findings.size(), 2u) << Describe(findings);
  EXPECT_NE(findings[1].message.find("without \"=\""), std::string::npos) << Describe(findings);
}

TEST(ScriptLintTest, RegisterLinesTheSetupTakes) {
  std::string umlauts;  // 511 units in 1022 bytes
  for (int i = 0; i < 511; ++i) umlauts += "\xC3\xBC";
  ExpectClean("[register]", {
                                "",
                                "HKEY_USERS\\S\\N=a=b",
                                "HKEY_USERS\\S\\" + umlauts + "=" + umlauts,
                                "HKEY_USERS\\S\\N=DWORD:00000000FF",
                                "HKEY_USERS\\S\\N=DWORD:012345678",
                                "HKEY_USERS\\S\\N=DWORD:9f",
                                // A number has no length limit of its own.
                                "HKEY_USERS\\S\\N=DWORD:" + std::string(600, '0') + "1",
                            });
}

TEST(ScriptLintTest, RegisterValueAdvice) {
  ExpectEach("[register]", {
                               {"HKEY_USERS\\S\\N=DWORD:0x10", kError, "stops at \"x\""},
                               {"HKEY_USERS\\S\\N=DWORD: 1", kError, "stops at \" \""},
                               {"HKEY_USERS\\S\\N=DWORD:", kError, "without digits"},
                               {"HKEY_USERS\\S\\N=DWORD:1FFFFFFFF", kWarning, "last eight"},
                               {"HKEY_USERS\\S\\N=dword:5", kWarning, "in capitals"},
                           });
}

TEST(ScriptLintTest, ShortcutLinesTheSetupSkips) {
  ExpectEach(
      "[shortcuts]",
      {
          {"a.lnk", kError, "without \"=\" is skipped"},
          {std::string(512, 'l') + "=app.exe", kError, "file name is 512"},
          {"a.lnk=" + std::string(512, 't'), kError, "shortcut target is 512"},
          {"a.lnk=app.exe;" + std::string(512, 'd'), kError, "description is 512"},
          // "C:\" and 509 units make 512.
          {"a.lnk=" + std::string(509, 't'), kError, "\"C:\\\", in front, the target path is 512"},
      });
}

TEST(ScriptLintTest, ShortcutLineAdvice) {
  ExpectEach("[shortcuts]", {
                                {"=app.exe", kError, "no file name"},
                                {"a.lnk=;desc", kError, "no target"},
                                // Beyond what IShellLinkW takes: skipped, never cut.
                                {"a.lnk=" + std::string(508, 't'), kError, "259-unit"},
                                {"a.lnk=" + std::string(257, 't'), kError, "name is 257"},
                                {std::string(257, 'l') + "=t", kError, "skipped"},
                            });
  ExpectClean("[shortcuts]", {"", "a.lnk=" + std::string(256, 't') + ";" + std::string(511, 'd')});
}

TEST(ScriptLintTest, RunLinesTheSetupSkips) {
  ExpectEach("[run]", {
                          {std::string(1024, 'r'), kError,
                           "1024 UTF-16 units long; at most 1023 fit: the line is skipped"},
                          // "C:\" and 509 units make 512.
                          {std::string(509, 'p') + " -x", kError, "program path is 509"},
                      });
  ExpectClean("[run]", {std::string(508, 'p'), "a.exe " + std::string(1017, 'x')});
}

TEST(ScriptLintTest, RunLineAdvice) {
  const std::string head = std::string(kLocale) + "[run]\n";
  ExpectOnly(head + "a.exe\n\n", 11, kError, "empty [run] line");
  ExpectEach("[run]", {
                          {" a.exe", kError, "begins with a blank"},
                          {"a.exe -a -b", kWarning, "\"-b\", is passed as the parameter; \"-a\""},
                          {"a.exe \xC3\xA9 -a -b c", kWarning, "\"\xC3\xA9 -a -b\" is dropped"},
                          {"a.exe ", kWarning, "empty parameter"},
                          {"a.exe \"x\"", kWarning, "double quotes"},
                      });
}

TEST(ScriptLintTest, BatchLines) {
  ExpectOnly(std::string(kLocale) + "[bin_32]\nset_system_directory_here \n", 10, kWarning,
             "marker");
  // Long batch lines are written whole; only cmd.exe's own limit is an error.
  EXPECT_TRUE(Lint(std::string(kLocale) + "[prepare]\n" + std::string(1024, 'b') + "\n").empty());
  ExpectOnly(std::string(kLocale) + "[prepare]\n" + std::string(8192, 'b') + "\n", 10, kError,
             "8192");
}

TEST(ScriptLintTest, ExitLeavesTheBatchFileBehind) {
  for (const char* section : {"[prepare]", "[bin_32]", "[bin_64]", "[install]"}) {
    ExpectEach(section, {
                            {"exit", kWarning, "before its closing del line"},
                            {"@EXIT /b 0", kWarning, "left in the target folder"},
                            {" \texit/b", kWarning, "rest of the batch does not run"},
                        });
    ExpectClean(section, {"exitcode", "echo exit", "rem exit"});
  }
  // The uninstall batch has no closing line to miss.
  ExpectClean("[uninstall]", {"exit"});
}

TEST(ScriptLintTest, Encoding) {
  ExpectOnly(std::string(kLocale) + "[run]\na\xC3.exe\n", 10, kError, "invalid UTF-8 at byte 2");
  ExpectOnly(std::string(kLocale) + "[run]\n\xF0\x9F\x98\x80.exe\n", 10, kError,
             "Basic Multilingual Plane");
  ExpectOnly(std::string(kLocale) + "[run]\na" + std::string(1, '\0') + "b.exe\n", 10, kError,
             "NUL byte");
}

TEST(ScriptLintTest, FindingsAreOrderedByLine) {
  const auto findings = Lint("[run]\n\n[register]\nx\n");
  ASSERT_EQ(findings.size(), 3u) << Describe(findings);
  EXPECT_EQ(findings[0].line, 0u);
  EXPECT_EQ(findings[1].line, 2u);
  EXPECT_EQ(findings[2].line, 4u);
}

}  // namespace
