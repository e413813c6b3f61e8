#include "script/script_lint.h"

#include <gtest/gtest.h>

#include <string>

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
  ExpectOnly(std::string(kLocale) + "[locale.DE]\na\nb\nc\nd\ne\nf\n", 9, kWarning,
             "form ll or ll-CC");
}

TEST(ScriptLintTest, RegisterLines) {
  const std::string head = std::string(kLocale) + "[register]\n";  // body from line 10
  ExpectOnly(head + "HKEY_CURRENT_USER\\Software\\X\n", 10, kError, "without \"=\"");
  ExpectOnly(head + "Software=1\n", 10, kError, "without a backslash");
  ExpectOnly(head + "HKEY_USERS\\=1\n", 10, kError, "nothing after the root key");
  ExpectOnly(head + "HKEY_CURRENT_USER\\Name=1\n", 10, kError, "without a key path");
  ExpectOnly(head + "HKLM\\Software\\X\\N=1\n", 10, kError, "unknown root key \"HKLM\"");
  ExpectOnly(head + "HKEY_USERS\\S\\N=DWORD:0x10\n", 10, kError, "stops at \"x\"");
  ExpectOnly(head + "HKEY_USERS\\S\\N=DWORD:\n", 10, kError, "without digits");
  ExpectOnly(head + "HKEY_USERS\\S\\N=DWORD:1FFFFFFFF\n", 10, kWarning, "last eight");
  ExpectOnly(head + "HKEY_USERS\\S\\N=dword:5\n", 10, kWarning, "in capitals");
  ExpectOnly(head + "HKEY_USERS\\S\\N=" + std::string(512, 'v') + "\n", 10, kError,
             "string value is 512");
  ExpectOnly(head + "HKEY_USERS\\" + std::string(512, 'k') + "\\N=1\n", 10, kError,
             "key path is 512");
  EXPECT_EQ(Describe(Lint(head + "HKEY_USERS\\S\\N=DWORD:00000000FF\n\nHKEY_USERS\\S\\N=a=b\n")),
            "");
}

TEST(ScriptLintTest, ShortcutLines) {
  const std::string head = std::string(kLocale) + "[shortcuts]\n";
  ExpectOnly(head + "a.lnk\n", 10, kError, "without \"=\"");
  ExpectOnly(head + "=app.exe\n", 10, kError, "no file name");
  ExpectOnly(head + "a.lnk=;desc\n", 10, kError, "no target");
  ExpectOnly(head + "a.lnk=app.exe;" + std::string(512, 'd') + "\n", 10, kError,
             "description is 512");
  ExpectOnly(head + "a.lnk=" + std::string(257, 't') + "\n", 10, kError, "259-unit");
}

TEST(ScriptLintTest, RunLines) {
  const std::string head = std::string(kLocale) + "[run]\n";
  ExpectOnly(head + "a.exe\n\n", 11, kError, "empty [run] line");
  ExpectOnly(head + " a.exe\n", 10, kError, "begins with a blank");
  ExpectOnly(head + "a.exe -a -b\n", 10, kWarning, "\"-a\" is dropped");
  ExpectOnly(head + "a.exe \n", 10, kWarning, "empty parameter");
  ExpectOnly(head + std::string(1024, 'r') + "\n", 10, kError, "1024 UTF-16 units");
}

TEST(ScriptLintTest, BatchLines) {
  ExpectOnly(std::string(kLocale) + "[install]\necho\nexit /b 0\n", 11, kError, "waits");
  EXPECT_TRUE(Lint(std::string(kLocale) + "[uninstall]\nexit\n").empty());
  ExpectOnly(std::string(kLocale) + "[bin_32]\nset_system_directory_here \n", 10, kWarning,
             "marker");
  // Long batch lines are written whole; only cmd.exe's own limit is an error.
  EXPECT_TRUE(Lint(std::string(kLocale) + "[prepare]\n" + std::string(1024, 'b') + "\n").empty());
  ExpectOnly(std::string(kLocale) + "[prepare]\n" + std::string(8192, 'b') + "\n", 10, kError,
             "8192");
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
