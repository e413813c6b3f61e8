// The parsers of the script's lines: [register], [run] and [shortcuts].
#include <gtest/gtest.h>

#include "script/folder_variables.h"
#include "script/install_record.h"
#include "script/product_section.h"
#include "script/registry_line.h"
#include "script/run_line.h"
#include "script/shortcut_line.h"
#include "test_support.h"

namespace {

constexpr std::u16string_view kTargetDir = u"C:\\Tools\\Example";

// "ROOT|KEY|NAME|dword N (size)" or "ROOT|KEY|NAME|sz TEXT (size)".
std::string RegistryParsed(std::string_view line) {
  RegistryLine parsed;
  const RegistrySkip skip = ParseRegistryLine(line, &parsed);
  if (skip != RegistrySkip::kNone) return "skipped " + std::to_string(static_cast<int>(skip));
  const char* const roots[] = {"HKCR", "HKCU", "HKLM", "HKU"};
  std::string out = std::string(roots[static_cast<int>(parsed.root)]) + "|" +
                    Narrow(parsed.keyPath) + "|" + Narrow(parsed.valueName) + "|";
  out += parsed.type == RegistryValueType::kDword ? "dword " + std::to_string(parsed.number)
                                                  : "sz " + Narrow(parsed.text);
  return out + " (" + std::to_string(parsed.DataSize()) + ")";
}

TEST(RegistryLineTest, SplitsRootKeyNameAndValue) {
  const std::pair<std::string_view, std::string> cases[] = {
      {"HKEY_CURRENT_USER\\Software\\Example\\Count=DWORD:1A",
       "HKCU|Software\\Example|Count|dword 26 (4)"},
      {"HKEY_CLASSES_ROOT\\.ex\\x=1", "HKCR|.ex|x|sz 1 (4)"},
      {"HKEY_LOCAL_MACHINE\\a\\x=1", "HKLM|a|x|sz 1 (4)"},
      {"HKEY_USERS\\.DEFAULT\\a\\x=1", "HKU|.DEFAULT\\a|x|sz 1 (4)"},
      // Hexadecimal up to the first other byte, in wrapping arithmetic.
      {"HKEY_USERS\\k\\n=DWORD:10", "HKU|k|n|dword 16 (4)"},
      {"HKEY_USERS\\k\\n=DWORD:0x10", "HKU|k|n|dword 0 (4)"},
      {"HKEY_USERS\\k\\n=DWORD:", "HKU|k|n|dword 0 (4)"},
      {"HKEY_USERS\\k\\n=DWORD:ffFF", "HKU|k|n|dword 65535 (4)"},
      {"HKEY_USERS\\k\\n=DWORD: 5", "HKU|k|n|dword 0 (4)"},
      {"HKEY_USERS\\k\\n=DWORD:12 34", "HKU|k|n|dword 18 (4)"},
      {"HKEY_USERS\\k\\n=DWORD:-1", "HKU|k|n|dword 0 (4)"},
      {"HKEY_USERS\\k\\n=DWORD:1FFFFFFFF", "HKU|k|n|dword 4294967295 (4)"},
      {"HKEY_USERS\\k\\n=DWORD:123456789", "HKU|k|n|dword 591751049 (4)"},
      {"HKEY_USERS\\k\\n=DWORD:0000000012345678", "HKU|k|n|dword 305419896 (4)"},
      // Any other value is a string, stored whole with its zero unit.
      {"HKEY_CURRENT_USER\\k\\n=dword:5", "HKCU|k|n|sz dword:5 (16)"},
      {"HKEY_CURRENT_USER\\k\\n=Dword:5", "HKCU|k|n|sz Dword:5 (16)"},
      {"HKEY_CURRENT_USER\\k\\n= DWORD:5", "HKCU|k|n|sz  DWORD:5 (18)"},
      {"HKEY_CURRENT_USER\\k\\n=a=b=c", "HKCU|k|n|sz a=b=c (12)"},
      {"HKEY_CURRENT_USER\\k\\n=caf\xC3\xA9", "HKCU|k|n|sz caf\\u00E9 (10)"},
      {"HKEY_CURRENT_USER\\k\\n=", "HKCU|k|n|sz  (2)"},
      // The default value; blanks kept; the last backslash ends the key path.
      {"HKEY_LOCAL_MACHINE\\Software\\Example\\=C:\\Dir",
       "HKLM|Software\\Example||sz C:\\Dir (14)"},
      {"HKEY_USERS\\k\\my name =x", "HKU|k|my name |sz x (4)"},
      {"HKEY_USERS\\\\n=x", "HKU||n|sz x (4)"},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(RegistryParsed(line), expected) << line;
  // The per-user scope's classes are the user's own; other roots stay.
  RegistryLine classes, users;
  ParseRegistryLine("HKEY_CLASSES_ROOT\\.ex\\=t", &classes);
  ParseRegistryLine("HKEY_USERS\\.ex\\=t", &users);
  EXPECT_TRUE(MoveToUserClasses(&classes) && classes.root == RegistryRoot::kCurrentUser);
  EXPECT_EQ(Narrow(classes.keyPath), "Software\\Classes\\.ex");
  EXPECT_FALSE(MoveToUserClasses(&users));
  EXPECT_EQ(ParseHex(std::string_view("1A2B").substr(0, 2)), 0x1Au);
  EXPECT_EQ(ParseHex({}), 0u);
  EXPECT_EQ(ParseHex("Gg"), 0u);
}

TEST(RegistryLineTest, LinesOfTheWrongShapeOrSizeAreSkippedWithTheirReason) {
  const std::string fits(kRegistryFieldUnits, 'k');
  const std::string tooLong(kRegistryFieldUnits + 1, 'k');
  std::string wide;  // two-byte characters count once: 511 of them fit
  for (size_t i = 0; i < kRegistryFieldUnits; ++i) wide += "\xC3\xA9";
  const std::pair<std::string, RegistrySkip> cases[] = {
      {"", RegistrySkip::kEmptyLine},
      {"HKEY_USERS\\k\\n", RegistrySkip::kNoEquals},
      {"HKEY_USERS=1", RegistrySkip::kNoRootSeparator},
      {"HKEY_USERS\\=1", RegistrySkip::kNothingAfterRoot},
      {"HKEY_CURRENT_USER\\Name=1", RegistrySkip::kNoKeyPath},
      {"HKLM\\Software\\Example\\X=1", RegistrySkip::kUnknownRoot},
      {"hkey_users\\k\\n=1", RegistrySkip::kUnknownRoot},
      {" HKEY_USERS\\k\\n=1", RegistrySkip::kUnknownRoot},
      {"HKEY_USERS\\n=C:\\a\\b", RegistrySkip::kNoKeyPath},  // the value's backslashes
      {std::string("HKEY_USERS\\k\\n\0=1", 17), RegistrySkip::kNoEquals},  // a NUL ends it
      {"HKEY_USERS\\" + fits + "\\" + fits + "=" + fits, RegistrySkip::kNone},
      {"HKEY_USERS\\k\\n=" + wide, RegistrySkip::kNone},
      {"HKEY_USERS\\" + tooLong + "\\n=1", RegistrySkip::kFieldTooLong},
      {"HKEY_USERS\\k\\" + tooLong + "=1", RegistrySkip::kFieldTooLong},
      {"HKEY_USERS\\k\\n=" + tooLong, RegistrySkip::kFieldTooLong},
  };
  for (const auto& [line, reason] : cases) {
    RegistryLine parsed;
    parsed.text = u"kept";
    EXPECT_EQ(ParseRegistryLine(line, &parsed), reason) << line.substr(0, 40);
    if (reason != RegistrySkip::kNone) {
      EXPECT_EQ(parsed.text, u"kept") << line.substr(0, 40);
    }
  }
  // A number's digits are not converted and have no limit.
  EXPECT_EQ(RegistryParsed("HKEY_USERS\\k\\n=DWORD:" + std::string(600, '0') + "7"),
            "HKU|k|n|dword 7 (4)");
}

// "FILE|PARAMETERS|WORKDIR", "-" for no parameters at all.
std::string RunParsed(std::string_view line, std::u16string_view targetDir = kTargetDir,
                      bool withProduct = false) {
  RunLine parsed;
  EXPECT_EQ(ParseRunLine(line, targetDir, &parsed, withProduct), RunSkip::kNone) << line;
  return Narrow(parsed.file) + "|" + (parsed.parameters ? Narrow(*parsed.parameters) : "-") + "|" +
         Narrow(parsed.workingDirectory);
}

// The record an entry keeps survives its REG_MULTI_SZ form; each kind of line reads back as
// written, lines of other words or roots are none of it (and still kept), and a line stands once.
TEST(InstallRecordTest, LinesRoundTripAndOtherLinesAreKept) {
  InstallRecord record;
  AddRecordLine(&record, RecordedKeyLine({true, RegistryRoot::kLocalMachine, u"Software\\A B"}));
  AddRecordLine(&record, RecordedKeyLine({false, RegistryRoot::kUsers, u"S\\x"}));
  AddRecordLine(&record, u"link C:\\x.lnk");
  AddRecordLine(&record, RecordedKeyLine({false, RegistryRoot::kUsers, u"S\\x"}));
  AddRecordLine(&record, RecordedValueLine({true, RegistryRoot::kCurrentUser, u"S\\k"}, u"N"));
  AddRecordLine(&record, RecordedValueLine({false, RegistryRoot::kUsers, u"S"}, u""));
  AddRecordLine(&record, RecordedPathLine(RecordedPathKind::kLink, u"C:\\G\\a.lnk"));
  AddRecordLine(&record, RecordedPathLine(RecordedPathKind::kFolder, u"C:\\G"));
  const InstallRecord read = SplitRecordText(JoinRecordText(record));
  ASSERT_EQ(read, record);
  EXPECT_EQ(Narrow(read[0]), "key64 HKEY_LOCAL_MACHINE\\Software\\A B");
  RecordedKey key;
  ASSERT_TRUE(ReadRecordedKey(read[1], &key));
  EXPECT_EQ(Narrow(RecordedKeyLine(key)), "key HKEY_USERS\\S\\x");
  EXPECT_EQ(Narrow(read[3]) + "|" + Narrow(read[4]),
            "value64 HKEY_CURRENT_USER\\S\\k\\N|value HKEY_USERS\\S\\");
  RecordedValue value;
  ASSERT_TRUE(ReadRecordedValue(read[3], &value));
  EXPECT_EQ(RecordedValueLine(value.key, value.name), read[3]);
  std::u16string path;
  EXPECT_TRUE(ReadRecordedPath(read[5], RecordedPathKind::kLink, &path) && path == u"C:\\G\\a.lnk");
  EXPECT_TRUE(ReadRecordedPath(read[6], RecordedPathKind::kFolder, &path) && path == u"C:\\G");
  for (const std::u16string_view line :
       {u"link C:\\x.lnk", u"key HKLM\\S", u"key HKEY_USERS\\", u"keys HKEY_USERS\\S",
        u"key HKEY_USERS", u"value HKEY_USERS\\N", u"value64 HKLM\\S\\N", u"lnk ", u"folder"}) {
    EXPECT_FALSE(ReadRecordedKey(line, &key) || ReadRecordedValue(line, &value) ||
                 ReadRecordedPath(line, RecordedPathKind::kLink, &path) ||
                 ReadRecordedPath(line, RecordedPathKind::kFolder, &path))
        << Narrow(line);
  }
  EXPECT_FALSE(ReadRecordedKey(read[3], &key) || ReadRecordedValue(read[0], &value));
  EXPECT_TRUE(SplitRecordText(std::u16string(1, u'\0')).empty());
}

TEST(RunLineTest, ProgramParameterAndWorkingDirectory) {
  const std::pair<std::string_view, std::string> cases[] = {
      {"app.exe", "C:\\Tools\\Example\\app.exe|-|C:\\Tools\\Example"},
      {"readme.txt", "C:\\Tools\\Example\\readme.txt|-|C:\\Tools\\Example"},
      // The parameter is the text after the last blank.
      {"bin\\app.exe /quiet", "C:\\Tools\\Example\\bin\\app.exe|/quiet|C:\\Tools\\Example\\bin"},
      {"app.exe -a -b", "C:\\Tools\\Example\\app.exe|-b|C:\\Tools\\Example"},
      {"app.exe  -x", "C:\\Tools\\Example\\app.exe|-x|C:\\Tools\\Example"},
      {"app.exe ", "C:\\Tools\\Example\\app.exe||C:\\Tools\\Example"},  // empty, not null
      // Quotes and tabs are ordinary characters.
      {"app.exe \"a b\"", "C:\\Tools\\Example\\app.exe|b\"|C:\\Tools\\Example"},
      {"app.exe\t-x", "C:\\Tools\\Example\\app.exe\t-x|-|C:\\Tools\\Example"},
      {"caf\xC3\xA9.exe \xC3\xA9", "C:\\Tools\\Example\\caf\\u00E9.exe|\\u00E9|C:\\Tools\\Example"},
      // An empty program opens the target folder.
      {"", "C:\\Tools\\Example\\|-|C:\\Tools\\Example"},
      {" a -x", "C:\\Tools\\Example\\|-x|C:\\Tools\\Example"},
      {std::string_view("app.exe\0 -x", 11), "C:\\Tools\\Example\\app.exe|-|C:\\Tools\\Example"},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(RunParsed(line), expected) << line;
  // "D:" alone would be the current directory on D.
  EXPECT_EQ(RunParsed("app.exe", u"D:"), "D:\\app.exe|-|D:\\");
  // With [product], %InstallDir% is the folder: a program may start with it.
  EXPECT_EQ(RunParsed("%InstallDir%\\app.exe \"%InstallDir%\\a.txt\"", kTargetDir, true),
            "C:\\Tools\\Example\\app.exe|\"C:\\Tools\\Example\\a.txt\"|C:\\Tools\\Example");
  EXPECT_EQ(RunParsed("%InstallDir%app.exe", kTargetDir, true),
            "C:\\Tools\\Example\\%InstallDir%app.exe|-|C:\\Tools\\Example");
  EXPECT_EQ(
      RunParsed("%InstallDir%\\app.exe %InstallDir%"),
      "C:\\Tools\\Example\\%InstallDir%\\app.exe|%InstallDir%|C:\\Tools\\Example\\%InstallDir%");
}

TEST(RunLineTest, LinesAndPathsLongerThanTheirBufferAreSkipped) {
  RunLine parsed;
  const size_t room = kRunPathUnits - kTargetDir.size() - 1;
  EXPECT_EQ(ParseRunLine(std::string(room, 'p'), kTargetDir, &parsed), RunSkip::kNone);
  EXPECT_EQ(parsed.file.size(), kRunPathUnits);
  EXPECT_EQ(ParseRunLine(std::string(room + 1, 'p'), kTargetDir, &parsed), RunSkip::kPathTooLong);
  // A long parameter is fine as long as the whole line fits.
  const std::string program = "app.exe ";
  const std::string longest = program + std::string(kRunLineUnits - program.size(), 'x');
  EXPECT_EQ(ParseRunLine(longest, kTargetDir, &parsed), RunSkip::kNone);
  EXPECT_EQ(parsed.parameters->size(), kRunLineUnits - program.size());
  EXPECT_EQ(ParseRunLine(longest + "x", kTargetDir, &parsed), RunSkip::kLineTooLong);
}

// "LINK|TARGET|WORKDIR|DESCRIPTION", or the reason the line is skipped.
// With [product], "|ARGUMENTS|ICON,INDEX" after them.
std::string ShortcutParsed(std::string_view line, std::u16string_view targetDir = kTargetDir,
                           bool withProduct = false) {
  ShortcutLine parsed;
  parsed.linkPath = u"kept";
  const ShortcutSkip skip = ParseShortcutLine(line, targetDir, &parsed, withProduct);
  if (skip != ShortcutSkip::kNone) {
    return "skipped " + std::to_string(static_cast<int>(skip)) + " " + Narrow(parsed.linkPath);
  }
  return Narrow(parsed.linkPath) + "|" + Narrow(parsed.targetPath) + "|" +
         Narrow(parsed.workingDirectory) + "|" + Narrow(parsed.description) +
         (withProduct ? "|" + Narrow(parsed.arguments) + "|" + Narrow(parsed.iconPath) + "," +
                            std::to_string(parsed.iconIndex)
                      : "");
}

TEST(ShortcutLineTest, SplitsLinkTargetAndDescription) {
  const std::pair<std::string_view, std::string> cases[] = {
      {"C:\\Users\\Public\\Desktop\\Example.lnk=bin\\run.exe;Starts the tool",
       "C:\\Users\\Public\\Desktop\\Example.lnk|C:\\Tools\\Example\\bin\\run.exe|"
       "C:\\Tools\\Example\\bin|Starts the tool"},
      // Only the first "=" and ";" split; nothing is trimmed.
      {"a.lnk=run.exe", "a.lnk|C:\\Tools\\Example\\run.exe|C:\\Tools\\Example|"},
      {"a.lnk=x=y", "a.lnk|C:\\Tools\\Example\\x=y|C:\\Tools\\Example|"},
      {"a.lnk=run.exe;one;two", "a.lnk|C:\\Tools\\Example\\run.exe|C:\\Tools\\Example|one;two"},
      {" a.lnk = run.exe ; d ", " a.lnk |C:\\Tools\\Example\\ run.exe |C:\\Tools\\Example| d "},
      {"=;", "|C:\\Tools\\Example\\|C:\\Tools\\Example|"},
      {"", "skipped 1 kept"},
      {"a.lnk", "skipped 2 kept"},
      {std::string_view("a.lnk\0=x", 8), "skipped 2 kept"},
      {std::string_view("\0a=b", 4), "skipped 1 kept"},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(ShortcutParsed(line), expected) << line;
  // A drive root keeps its backslash.
  EXPECT_EQ(ShortcutParsed("a.lnk=run.exe", u"D:"), "a.lnk|D:\\run.exe|D:\\|");
  EXPECT_EQ(ShortcutParsed("a.lnk=bin\\run.exe", u"D:"), "a.lnk|D:\\bin\\run.exe|D:\\bin|");
  // With [product]: DESCRIPTION;ARGUMENTS;ICON[,INDEX] and %InstallDir%.
  const std::pair<std::string_view, std::string> withProduct[] = {
      {"a.lnk=r.exe;one;two", "a.lnk|C:\\Tools\\Example\\r.exe|C:\\Tools\\Example|one|two|,0"},
      {"%InstallDir%\\a.lnk=%InstallDir%\\r.exe;d;\"%InstallDir%\\r.txt\";%InstallDir%\\i.dll,12",
       "C:\\Tools\\Example\\a.lnk|C:\\Tools\\Example\\r.exe|C:\\Tools\\Example|d|"
       "\"C:\\Tools\\Example\\r.txt\"|C:\\Tools\\Example\\i.dll,12"},
      {"a.lnk=r.exe;;;my,i.ico;x",
       "a.lnk|C:\\Tools\\Example\\r.exe|C:\\Tools\\Example|||"
       "C:\\Tools\\Example\\my,i.ico;x,0"},
      {"a.lnk=r.exe;;;i.ico,",
       "a.lnk|C:\\Tools\\Example\\r.exe|C:\\Tools\\Example|||"
       "C:\\Tools\\Example\\i.ico,,0"},
  };
  for (const auto& [line, expected] : withProduct) {
    EXPECT_EQ(ShortcutParsed(line, kTargetDir, true), expected) << line;
  }
  EXPECT_EQ(ShortcutParsed("%InstallDir%\\a.lnk=%InstallDir%\\run.exe"),
            "%InstallDir%\\a.lnk|C:\\Tools\\Example\\%InstallDir%\\run.exe|C:\\Tools\\Example\\%"
            "InstallDir%|");
  EXPECT_EQ(ShortcutWorkingDirectory(u"\\\\server\\share\\a.exe"), u"\\\\server\\share");
  EXPECT_EQ(ShortcutWorkingDirectory(u"\\a.exe"), u"");
}

TEST(ShortcutLineTest, PathsLongerThanTheirBufferOrTheShellTakesSkipTheLine) {
  const size_t room = kShortcutFieldUnits - kTargetDir.size() - 1;
  const size_t shellRoom = kShellLinkPathUnits - kTargetDir.size() - 1;
  const std::string tooLong(kShortcutFieldUnits + 1, 'x');
  const std::pair<std::string, ShortcutSkip> cases[] = {
      {"a.lnk=" + std::string(shellRoom, 't'), ShortcutSkip::kNone},
      // A cut path would point elsewhere; a relative link is saved below the target.
      {"a.lnk=" + std::string(shellRoom + 1, 't'), ShortcutSkip::kTooLongForShell},
      {std::string(shellRoom + 1, 'l') + "=t", ShortcutSkip::kTooLongForShell},
      {"D:\\" + std::string(256, 'l') + "=t", ShortcutSkip::kNone},
      {"a.lnk=" + std::string(room + 1, 't'), ShortcutSkip::kFieldTooLong},
      {tooLong + "=t", ShortcutSkip::kFieldTooLong},
      {"a=t;" + tooLong, ShortcutSkip::kFieldTooLong},
      {"a=t;" + tooLong.substr(1), ShortcutSkip::kNone},
  };
  for (const auto& [line, reason] : cases) {
    ShortcutLine parsed;
    EXPECT_EQ(ParseShortcutLine(line, kTargetDir, &parsed), reason) << line.size();
  }
  ShortcutLine longest;
  ASSERT_EQ(ParseShortcutLine(cases[0].first, kTargetDir, &longest), ShortcutSkip::kNone);
  EXPECT_EQ(longest.targetPath.size(), kShellLinkPathUnits);
}

TEST(ShortcutsSectionTest, BodyStartsOneByteAfterTheBracket) {
  const std::pair<const char*, Lines> cases[] = {
      {"[shortcuts]\na.lnk=run.exe\n[run]\n", {"a.lnk=run.exe"}},
      // CR LF: the body begins at the header's LF, an empty first line.
      {"[shortcuts]\r\na.lnk=run.exe\r\n[run]\r\n", {"", "a.lnk=run.exe"}},
      // Text behind the bracket, less its first byte, is the first line.
      {"[shortcuts] a.lnk=run.exe\nb.lnk=x\n[run]\n", {"a.lnk=run.exe", "b.lnk=x"}},
      {"[shortcuts]\n[run]\n", {}},
      {"[shortcuts]", {}},
      {"[shortcut]\n", {"(absent)"}},
  };
  for (const auto& [text, lines] : cases) {
    const HeapScript script(text);
    EXPECT_EQ(script.Body(FindShortcutsSection(script.text(), {})), lines) << text;
  }
  const HeapScript variant("[shortcuts]\nplain\n[shortcuts.de]\nvariant\n[run]\n");
  EXPECT_EQ(variant.Body(FindShortcutsSection(variant.text(), {"de"})), Lines{"variant"});
}

// "[product]": keys in any case, blanks around both sides dropped, the
// variant chosen like any section's, the last of a key counting, and the Id
// safe in a registry key and a path.
TEST(ProductSectionTest, KeysValuesVariantsAndIds) {
  const std::pair<const char*, ProductSkip> lines[] = {
      {"Id=Example.App", ProductSkip::kNone}, {" NAME = Example App ", ProductSkip::kNone},
      {"removeprompt=x", ProductSkip::kNone}, {"Colour=blue", ProductSkip::kUnknownKey},
      {"Id", ProductSkip::kNoEquals},         {" \t", ProductSkip::kEmptyLine},
  };
  for (const auto& [line, skip] : lines) {
    ProductLine parsed;
    EXPECT_EQ(ParseProductLine(line, &parsed), skip) << line;
  }
  ProductLine name;
  ParseProductLine(" NAME = Example App ", &name);
  EXPECT_EQ(name.key, ProductKey::kName);
  EXPECT_EQ(name.value, "Example App");

  const HeapScript script(
      "[product]\r\nId=ex\r\nName=Plain\r\nName=Later\r\nUrl=https://a.example/?q=1\r\n"
      "[product.de]\nId=ex\nName=Beispiel\nRemovePrompt={name} aus {folder} entfernen?\n[run]\n");
  const Product plain = ReadProductSection(script.text(), {});
  EXPECT_TRUE(plain.Usable());
  EXPECT_EQ(plain.name, "Later");
  EXPECT_EQ(plain.url, "https://a.example/?q=1");
  EXPECT_EQ(Narrow(RemovePromptText(plain, u"C:\\App")), "Remove Later from C:\\App?");
  const Product german = ReadProductSection(script.text(), {"de"});
  EXPECT_EQ(Narrow(RemovePromptText(german, u"C:\\App")), "Beispiel aus C:\\App entfernen?");
  EXPECT_FALSE(ReadProductSection(HeapScript("[locale]\n").text(), {}).present);

  // Dotted numbers as numbers, anything else as text.
  const std::tuple<const char*, const char*, int> versions[] = {
      {"1.10", "1.9", 1},  {"1.0", "1", 0},     {"2", "10", -1},
      {"1.02", "1.2", 0},  {"1.0.1", "1", 1},   {"1.0-beta", "1.0", 1},
      {"1.0b", "1.0b", 0}, {"1..0", "1.0", -1}, {"1.", "1", 1},
      {"", "1", -1},       {"v2", "v10", 1},    {"99999999999999999999", "9", 1},
  };
  for (const auto& [a, b, order] : versions) {
    EXPECT_EQ(CompareVersions(a, b), order) << a << " vs " << b;
    EXPECT_EQ(CompareVersions(b, a), -order) << b << " vs " << a;
  }
  for (const char* id : {"a", "Example.App-2_x", "0"}) EXPECT_TRUE(IsValidProductId(id)) << id;
  for (const std::string& id : {std::string(), std::string("a b"), std::string("a\\b"),
                                std::string("caf\xC3\xA9"), std::string(129, 'a')}) {
    EXPECT_FALSE(IsValidProductId(id)) << id;
  }
}

// Folder names: exact case (two differ in case alone), every occurrence,
// anything else left as written; the linter's list of the unknown ones.
TEST(FolderVariablesTest, ExpandsKnownNamesOnly) {
  FolderValues values;
  for (size_t i = 0; i < values.size(); ++i)
    values[i] = u"<" + std::u16string(1, static_cast<char16_t>(u'a' + i)) + u">";
  const std::pair<std::u16string_view, const char*> cases[] = {
      {u"C:\\Plain", "C:\\Plain"},
      {u"%ProgramFiles%\\App", "<a>\\App"},
      {u"%ProgramW6432%%LOCALAPPDATA%%APPDATA%%AppData%", "<b><c><d><i>"},
      {u"%Desktop%\\x;%StartMenu%;%Programs%;%Startup%", "<e>\\x;<f>;<g>;<h>"},
      {u"%programfiles%\\%Temp%\\100%", "%programfiles%\\%Temp%\\100%"},
      {u"%%Programs%%", "%<g>%"},
  };
  for (const auto& [text, expanded] : cases) {
    EXPECT_EQ(Narrow(ExpandFolderVariables(text, values)), expanded) << Narrow(text);
  }
  EXPECT_EQ(UnknownFolderVariables("%Programs%\\%Temp%\\50% of 100%\\%programfiles%"),
            (std::vector<std::string>{"%Temp%", "%programfiles%"}));
  EXPECT_TRUE(UnknownFolderVariables("%AppData%\\x%").empty());
  EXPECT_EQ(Narrow(ExpandInstallDir(u"%InstallDir%\\a;%INSTALLDIR%;%InstallDir%", u"C:\\x")),
            "C:\\x\\a;%INSTALLDIR%;C:\\x");
  EXPECT_EQ(Narrow(std::u16string(WithoutInstallDir(u"%InstallDir%\\bin\\a.exe"))), "bin\\a.exe");
  EXPECT_EQ(Narrow(std::u16string(WithoutInstallDir(u"%InstallDir%a.exe"))), "%InstallDir%a.exe");
  // A Start-menu group: the folders between the known folder and the link.
  const std::pair<std::u16string_view, std::vector<std::string>> groups[] = {
      {u"%Programs%\\Tools\\Text\\Notepad.lnk", {"<g>\\Tools", "<g>\\Tools\\Text"}},
      {u"%Desktop%\\Notepad.lnk", {}},
      {u"%Programs%Tools\\Notepad.lnk", {}},
      {u"C:\\Tools\\Notepad.lnk", {}},
      {u"%Programs%\\..\\Notepad.lnk", {}},
      {u"%Programs%\\a\\\\Notepad.lnk", {}},
      {u"%Temp%\\a\\Notepad.lnk", {}},
  };
  for (const auto& [link, folders] : groups) {
    std::vector<std::string> made;
    for (const std::u16string& folder : LinkGroupFolders(link, values))
      made.push_back(Narrow(folder));
    EXPECT_EQ(made, folders) << Narrow(link);
  }
  values[FOLDER_PROGRAMS].clear();
  EXPECT_TRUE(LinkGroupFolders(u"%Programs%\\Tools\\a.lnk", values).empty());
}

}  // namespace
