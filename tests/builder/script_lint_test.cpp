#include "builder/script_lint.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builder/build_files.h"
#include "builder/script_encoding.h"

namespace {

// Lines 1 to 8; a section after it starts on line 9, its first line is 10.
const std::string kLocale =
    "[locale]\nExample setup\nChoose a folder\nC:\\Example\nStart\nInstalling\nExtracting\n"
    "pic\\logo.png\n";
const std::string kSix = "[locale]\na\nb\nc\nd\ne\nf\n";

const TreeFileNames kTree = {"pic\\logo.png", "bin\\app.exe"};
// Lines 9 to 11 behind kLocale.
const std::string kProduct = kLocale + "[product]\nId=Ex.App\nName=Ex\n";

// The findings without the look for the files lines point at, which only the
// cases about it see.
std::vector<LintFinding> Lint(const std::string& script, const TreeFileNames* tree) {
  std::vector<LintFinding> findings = LintScript(script, tree);
  std::erase_if(findings, [](const LintFinding& f) {
    return f.message.find("it points at nothing") != std::string::npos;
  });
  return findings;
}

std::string Describe(const std::string& script, const TreeFileNames* tree = &kTree) {
  std::string text;
  for (const LintFinding& f : Lint(script, tree)) {
    text += std::to_string(f.line) + (f.severity == LintSeverity::kError ? " E " : " W ") +
            f.message + "\n";
  }
  return text;
}

std::string Repeat(const char* text, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += text;
  return out;
}

constexpr auto E = LintSeverity::kError;
constexpr auto W = LintSeverity::kWarning;

// Exactly one finding, on `line`, of `severity`, whose message has `part`.
struct OneFinding {
  std::string script;
  size_t line;
  LintSeverity severity;
  std::string part;
  TreeFileNames tree = kTree;
};

// `body` as the only line of `header`'s section, behind kLocale.
OneFinding In(const std::string& header, const std::string& body, LintSeverity severity,
              const std::string& part) {
  return {kLocale + header + "\n" + body + "\n", 10, severity, part};
}

TEST(ScriptLintTest, EachProblemIsOneFindingOnItsLine) {
  const std::string key = "HKEY_USERS\\S\\N=";
  std::vector<OneFinding> cases = {
      {"[run]\napp.exe\n", 0, E, "no plain [locale]"},
      {"[locale]\na\nb\nc\nd\ne\n[run]\napp.exe\n", 1, E, "has 5 lines"},
      {kLocale + "[locale.de]\na\nb\n", 9, E, "[locale.de] has 2 lines"},
      {kLocale + "extra\n", 9, W, "after the seventh"},
      {"[locale]\na\nb\nC:\\x,2\nd\ne\nf\n", 4, W, "mode 0 or 1"},
      {"[locale]\na\nb\nc\nd\n" + std::string(120, 'x') + "\nf\n", 6, E, "line 5 is 120"},
      {"[locale]\n" + std::string(1024, 'x') + "\nb\nc\nd\ne\nf\n", 2, E, "line 1 is 1024"},
      {kSix + "pic\\missing.png\n", 8, E, "not in the tree"},
      {kSix + "pic/logo.png\n", 8, E, "did you mean \"pic\\logo.png\""},
      {kSix + "PIC\\logo.png\n", 8, E, "exact case"},
      {kLocale + "[run] now\napp.exe\n", 9, W, "is ignored"},
      {kLocale + "[Register]\n", 9, W, "case-sensitive"},
      {kLocale + "[setup]\nanything\n", 9, W, "unknown section"},
      {kLocale + "[run\n", 9, W, "no \"]\""},
      {kLocale + "[run]\na.exe\n[run]\nb.exe\n", 11, W, "also stands on line 9"},
      {kLocale + "[register.de]\n", 9, W, "no [locale.de]"},
      // The locale name stays "de" when only [locale.de] exists.
      {kLocale + "[locale.de]\na\nb\nc\nd\ne\nf\n[run.de-AT]\n", 16, W, "(here de)"},
      {kLocale + "[install.german]\n", 9, W, "form ll or ll-CC"},
      {kLocale + "[run]\na.exe\n\n", 11, E, "empty [run] line"},
      {kLocale + "[run]\na\xC3.exe\n", 10, E, "invalid UTF-8 at byte 2"},
      {kLocale + "[run]\n\xF0\x9F\x98\x80.exe\n", 10, E, "Basic Multilingual Plane"},
      {kLocale + "[run]\na" + std::string(1, '\0') + "b.exe\n", 10, E, "NUL byte"},
      In("[register]", "HKEY_CURRENT_USER\\Software\\X", E, "without \"=\" is skipped"),
      In("[register]", "Software=1", E, "without a backslash before \"=\""),
      In("[register]", "HKEY_USERS\\=1", E, "nothing after the root key"),
      In("[register]", "HKEY_CURRENT_USER\\Name=1", E, "without a key path"),
      In("[register]", "HKLM\\Software\\X\\N=1", E, "unknown root key \"HKLM\""),
      In("[register]", "hkey_users\\S\\N=1", E, "unknown root key \"hkey_users\""),
      In("[register]", "HKEY_USERS\\" + std::string(512, 'k') + "\\N=1", E,
         "key path is 512 UTF-16 units long; at most 511 fit: the line is skipped"),
      In("[register]", "HKEY_USERS\\S\\" + std::string(512, 'n') + "=1", E, "value name is 512"),
      In("[register]", key + std::string(512, 'v'), E, "string value is 512"),
      In("[register]", key + "DWORD:0x10", E, "stops at \"x\""),
      In("[register]", key + "DWORD: 1", E, "stops at \" \""),
      In("[register]", key + "DWORD:", E, "without digits"),
      In("[register]", key + "DWORD:1FFFFFFFF", W, "last eight"),
      In("[register]", key + "dword:5", W, "in capitals"),
      In("[shortcuts]", "a.lnk", E, "without \"=\" is skipped"),
      In("[shortcuts]", std::string(512, 'l') + "=app.exe", E, "file name is 512"),
      In("[shortcuts]", "a.lnk=" + std::string(512, 't'), E, "shortcut target is 512"),
      In("[shortcuts]", "a.lnk=app.exe;" + std::string(512, 'd'), E, "description is 512"),
      // "C:\" and 509 units make 512.
      In("[shortcuts]", "a.lnk=" + std::string(509, 't'), E,
         "\"C:\\\", in front, the target path is 512"),
      In("[shortcuts]", "=app.exe", E, "no file name"),
      In("[shortcuts]", "a.lnk=;desc", E, "no target"),
      // Beyond what IShellLinkW takes: skipped, never cut.
      In("[shortcuts]", "a.lnk=" + std::string(508, 't'), E, "259-unit"),
      In("[shortcuts]", "a.lnk=" + std::string(257, 't'), E, "name is 257"),
      In("[shortcuts]", std::string(257, 'l') + "=t", E, "skipped"),
      In("[run]", std::string(1024, 'r'), E,
         "1024 UTF-16 units long; at most 1023 fit: the line is skipped"),
      In("[run]", std::string(509, 'p') + " -x", E, "program path is 509"),
      In("[run]", " a.exe", E, "begins with a blank"),
      In("[run]", "a.exe -a -b", W, "\"-b\", is passed as the parameter; \"-a\""),
      In("[run]", "a.exe \xC3\xA9 -a -b c", W, "\"\xC3\xA9 -a -b\" is dropped"),
      In("[run]", "a.exe ", W, "empty parameter"),
      In("[run]", "a.exe \"x\"", W, "double quotes"),
      In("[bin_32]", "set_system_directory_here ", W, "marker"),
      // Long batch lines are written whole; only cmd.exe's own limit is an error.
      In("[prepare]", std::string(8192, 'b'), E, "8192"),
      {kProduct + "Vendor=x\n", 12, W, "unknown key \"Vendor\""},
      {kProduct + "Homepage\n", 12, E, "without \"=\" is skipped"},
      {kProduct + "name=Other\n", 12, W, "name also stands on line 11: the last one counts"},
      {kProduct + "Icon=bin/app.exe\n", 12, E, "the icon \"bin/app.exe\" is not in the tree"},
      {kProduct + "Icon=BIN\\app.exe\n", 12, E, "did you mean \"bin\\app.exe\""},
      // Only the last Id counts.
      {kLocale + "[product]\nId=my app\nId=Ex\nName=Ex\n", 11, W, "also stands on line 10"},
      In("[product]", "Id=" + std::string(129, 'i') + "\nName=Ex", E, "1 to 128 letters"),
      In("[product]", "Id=caf\xC3\xA9\nName=Ex", E, "(ASCII)"),
      {kLocale + "[product]\nName=Ex\n", 9, E, "has no Id"},
      {kLocale + "[product]\nId=Ex\nName=\n", 9, W, "has no Name"},
      {kLocale + "[locale.de]\na\nb\nc\nd\ne\nf\n[product.de]\nId=Ex\nName=Ex\n", 16, W,
       "without a plain [product]"},
      {kProduct, 9, E, "the tree holds \"uninstall.exe\"", {"pic\\logo.png", "uninstall.exe"}},
      {kProduct + "Scope=users\n", 12, E, "Scope is \"user\" or \"machine\""},
      {kProduct + "Scope=User\n[register]\nHKEY_LOCAL_MACHINE\\Software\\Ex\\v=1\n", 14, E,
       "cannot write under HKEY_LOCAL_MACHINE"},
      {kProduct + "[register64]\nHKEY_LOCAL_MACHINE\\Software\\Ex\\v=DWORD:zz\n", 13, E, "DWORD"},
      {"[locale]\na\nb\n%ProgramFiles%\\%Vendor%\\App\nd\ne\nf\n", 4, W,
       "%Vendor% names no folder"},
      {kLocale + "[shortcuts]\n%programs%\\Ex.lnk=bin\\app.exe\n", 10, W, "%programs% names no"},
      In("[shortcuts]", "%Desktop%\\Notepad=app.exe", E,
         "\"%Desktop%\\Notepad\" does not end in .lnk"),
      {kProduct + "Scope=user\n[register]\nHKEY_CLASSES_ROOT\\.ex\\=x\n", 14, W,
       "under HKEY_CURRENT_USER\\Software\\Classes"},
      {kProduct + "[run]\nbin\\app.exe \"%InstallDir%\\a b\"\n", 13, W, "\"b\"\", is passed"},
      // Windows' names: upper case, and a folder of that name.
      {kProduct, 9, E, "UNINSTALL.EXE\\x", {"pic\\logo.png", "UNINSTALL.EXE\\x"}},
  };
  for (const char* header : {"[locale.DE]", "[locale.De]", "[locale.de-aT]", "[locale.de-A]"}) {
    cases.push_back({kLocale + header + "\na\nb\nc\nd\ne\nf\n", 9, W, "form ll or ll-CC"});
  }
  for (const char* section : {"[prepare]", "[bin_32]", "[bin_64]", "[install]"}) {
    cases.push_back(In(section, "exit", W, "before its closing del line"));
    cases.push_back(In(section, "@EXIT /b 0", W, "ends the batch"));
    cases.push_back(In(section, " \texit/b", W, "rest of the batch does not run"));
  }
  for (const OneFinding& c : cases) {
    const auto findings = Lint(c.script, &c.tree);
    const std::string said = Describe(c.script, &c.tree);
    ASSERT_EQ(findings.size(), 1u) << c.part << "\n" << said;
    EXPECT_EQ(findings[0].line, c.line) << said;
    EXPECT_EQ(findings[0].severity, c.severity) << said;
    EXPECT_NE(findings[0].message.find(c.part), std::string::npos) << said;
  }
}

TEST(ScriptLintTest, WhatTheSetupTakesAsWrittenHasNoFindings) {
  const std::string umlauts = Repeat("\xC3\xBC", 511);  // 511 units in 1022 bytes
  const std::string scripts[] = {
      kLocale +
          "[locale.de]\nT\nP\nC:\\B,1\nS\nI\nE\n"
          "[register.de]\nHKEY_CURRENT_USER\\Software\\Ex\\N=DWORD:1A\n"
          "[register]\nHKEY_LOCAL_MACHINE\\Software\\Ex\\=C:\\Dir\n\n"
          "[shortcuts]\nEx.lnk=bin\\app.exe;Starts it\n"
          "[prepare]\necho a\nset_system_directory_here\n[run]\nbin\\app.exe /quiet",
      // Units, not bytes: 119 two-byte characters still fit.
      "[locale]\na\nb\nc\nd\n" + std::string(119, 'x') + "\n" + Repeat("\xC3\xBC", 119) + "\n",
      kLocale + "[locale.de]\na\nb\nc\nd\ne\nf\n[run.de]\n",
      kLocale + "[register]\n\nHKEY_USERS\\S\\N=a=b\nHKEY_USERS\\S\\" + umlauts + "=" + umlauts +
          "\nHKEY_USERS\\S\\N=DWORD:00000000FF\nHKEY_USERS\\S\\N=DWORD:012345678\n"
          "HKEY_USERS\\S\\N=DWORD:9f\n"
          // A number has no length limit of its own.
          "HKEY_USERS\\S\\N=DWORD:" +
          std::string(600, '0') + "1\n",
      kLocale + "[shortcuts]\n\na.lnk=" + std::string(256, 't') + ";" + std::string(511, 'd'),
      kLocale + "[run]\n" + std::string(508, 'p') + "\na.exe " + std::string(1017, 'x') + "\n",
      kLocale + "[prepare]\n" + std::string(1024, 'b') + "\nexitcode\necho exit\nrem exit\n",
      // The uninstall batch has no closing line to miss.
      kLocale + "[uninstall]\nexit\n",
      // The icon may be the uninstaller, which the build adds to the tree.
      kLocale +
          "[locale.de]\na\nb\nc\nd\ne\nf\n[product]\n\nId=Ex.App_2-1\nName=Ex\n"
          "Version=1.0\nPublisher=P\nUrl=https://example.com\nIcon=bin\\app.exe\n"
          "RemovePrompt=Remove {name} from {folder}?\n[product.de]\nid = Ex.App\n"
          "NAME=Beispiel\nIcon=uninstall.exe\n",
      // The extended lines of [product], quotes around %InstallDir% included.
      kProduct +
          "[shortcuts]\n%Programs%\\Ex\\Ex.LNK=%InstallDir%\\bin\\app.exe;a;\"%InstallDir%\\x\";"
          "bin\\app.exe,2\n[run]\nbin\\app.exe \"%InstallDir%\\readme.txt\"\n",
  };
  for (const std::string& script : scripts) EXPECT_EQ(Describe(script), "") << script;
  // Without a tree, only the picture's extension is checked, and no icon.
  EXPECT_TRUE(LintScript(kSix + "pic\\other.jpg\n", nullptr).empty());
  EXPECT_TRUE(LintScript(kProduct + "Icon=app.ico\n", nullptr).empty());
}

TEST(ScriptLintTest, SeveralFindingsInLineOrder) {
  // "LINE:PART" of each finding, in order.
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {kSix + "pic\\logo.PNG\n", {"8:exactly .png or .jpg", "8:"}},
      {kLocale + "[shortcuts] broken\n", {"9:first shortcut line", "9:without \"=\""}},
      // Text after a NUL is not part of the line, so its "=" does not count.
      {kLocale + "[register]\nHKEY_USERS\\S\\N" + std::string(1, '\0') + "=1\n",
       {"10:", "10:without \"=\""}},
      {"[run]\n\n[register]\nx\n", {"0:", "2:", "4:"}},
      {kLocale + "[product]\nId=Ex\nId=my app\nIcon=x.ico\n",
       {"9:has no Name", "11:also stands on line 10", "11:the Id \"my app\"", "12:the icon"}},
      // Files the lines point at, looked up as Windows finds them; the
      // setup's own files are never in the tree.
      {kProduct + "[shortcuts]\na.lnk=BIN\\App.exe;d;;gone.ico\nb.lnk=bin;d\nc.lnk=uninstall.exe\n"
                  "[run]\nbin\\gone.exe -x\nuninstall.bat\n",
       {"13:the shortcut icon \"gone.ico\" is not in the tree",
        "17:the [run] program \"bin\\gone.exe\""}},
      {kLocale + "[shortcuts] a.lnk=gone.exe;d;e\n",
       {"9:first shortcut line", "9:the shortcut target \"gone.exe\""}},
  };
  for (const auto& [script, expected] : cases) {
    const auto findings = LintScript(script, &kTree);
    ASSERT_EQ(findings.size(), expected.size()) << Describe(script);
    for (size_t i = 0; i < expected.size(); ++i) {
      const size_t colon = expected[i].find(':');
      EXPECT_EQ(std::to_string(findings[i].line), expected[i].substr(0, colon)) << Describe(script);
      EXPECT_NE(findings[i].message.find(expected[i].substr(colon + 1)), std::string::npos)
          << Describe(script);
    }
  }
}

// Scripts as Windows editors save them: the text a package stores, or the
// encoding found named.
TEST(ScriptLintTest, ScriptFilesOfWindowsEditors) {
  using namespace std::string_literals;
  const std::pair<std::string, std::string> cases[] = {
      {"\xEF\xBB\xBF[locale]\n", "[locale]\n"},
      {"\xFF\xFE[\0\xE4\0\n\0"s, "[\xC3\xA4\n"},
      {"\xFE\xFF\0[\xD8\x3D\xDE\x00"s, "[\xF0\x9F\x98\x80"},
      {"caf\xE9\n", "caf\xE9\n"},
      {"\xFF\xFE\0\0[\0\0\0"s, "error: the script is UTF-32LE"},
      {"\0\0\xFE\xFF"s, "error: the script is UTF-32BE"},
      {"[\0l\0"s, "error: the script looks like UTF-16LE without its byte-order mark"},
      {"\0[\0l"s, "error: the script looks like UTF-16BE"},
      {"\xFF\xFE[\0\n"s, "error: the script is UTF-16LE with an odd number of bytes"},
      {"\xFF\xFE\n\0\x00\xDC"s, "error: the script is UTF-16LE with a lone surrogate on line 2"},
  };
  for (const auto& [bytes, text] : cases) {
    std::string got;
    try {
      got = ScriptTextOfFile(bytes);
    } catch (const PackageError& error) {
      got = std::string("error: ") + error.what();
    }
    EXPECT_EQ(got.substr(0, text.size()), text) << bytes;
  }
  EXPECT_NE(Describe(kLocale + "[run]\ncaf\xE9.exe\n").find("Windows-1252"), std::string::npos);
}

}  // namespace
