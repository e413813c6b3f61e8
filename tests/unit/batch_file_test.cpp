#include "script/batch_file.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// Latin-1 stands in for the OEM code page: one byte per unit, "?" for the rest.
std::string Latin1(std::u16string_view text) {
  std::string bytes;
  for (char16_t unit : text) bytes += unit < 0x100 ? static_cast<char>(unit) : '?';
  return bytes;
}

ShellFolders SampleFolders() {
  ShellFolders folders;
  folders.keyOpened = true;
  folders.values = {u"C:\\Users\\Public\\Desktop", u"C:\\ProgramData\\Start Menu",
                    u"C:\\ProgramData\\Programs", u"C:\\ProgramData\\Startup",
                    u"C:\\Program\u00DFData"};
  return folders;
}

// Composes the batch for `kind` from a whole script, as the setup would.
std::string Compose(const std::string& text, BatchKind kind,
                    const ShellFolders& folders = SampleFolders(), bool wow64 = false) {
  auto bytes = std::make_unique<uint8_t[]>(text.size());
  std::copy(text.begin(), text.end(), bytes.get());
  const ScriptText script{bytes.get(), text.size()};
  const BatchSection& section = BatchSectionOf(kind, wow64);
  uint8_t* body = FindSection(script, {}, section.sectionName);
  if (body == nullptr) return "(absent)";
  return ComposeBatchFile(script, body, section, folders, Latin1);
}

TEST(BatchFileTest, MarkerBecomesTheFiveShellFolderLines) {
  EXPECT_EQ(Compose("[prepare]\necho a\nset_system_directory_here\n[run]\n", BatchKind::kPrepare),
            "echo a\r\n"
            "set Desktop=C:\\Users\\Public\\Desktop\r\n"
            "set StartMenu=C:\\ProgramData\\Start Menu\r\n"
            "set Programs=C:\\ProgramData\\Programs\r\n"
            "set Startup=C:\\ProgramData\\Startup\r\n"
            "set AppData=C:\\Program\xDF"
            "Data\r\n"
            "del prepare.bat\r\n");
}

TEST(BatchFileTest, MarkerMustBeTheWholeLine) {
  for (const char* line : {"set_system_directory_here ", " set_system_directory_here",
                           "Set_system_directory_here", "set_system_directory_here;"}) {
    EXPECT_EQ(Compose(std::string("[prepare]\necho a\n") + line + "\n[x]\n", BatchKind::kPrepare),
              std::string("echo a\r\n") + line + "\r\ndel prepare.bat\r\n")
        << line;
  }
  // The comparison is made on the converted text, where ill-formed bytes are gone.
  EXPECT_EQ(Compose("[install]\nset_system_\x80"
                    "directory_here\n[x]\n",
                    BatchKind::kInstall, ShellFolders{}),
            "del install.bat\r\n");
}

TEST(BatchFileTest, ShellFolderValuesMissingOrKeyClosed) {
  ShellFolders missing = SampleFolders();
  missing.values[1].clear();
  EXPECT_EQ(Compose("[install]\nset_system_directory_here\n[x]\n", BatchKind::kInstall, missing)
                .substr(0, 60),
            "set Desktop=C:\\Users\\Public\\Desktop\r\nset StartMenu=\r\nset Pro");
  // Without the key, the marker line vanishes; each marker is replaced on its own.
  EXPECT_EQ(Compose("[install]\nset_system_directory_here\na\nset_system_directory_here\n[x]\n",
                    BatchKind::kInstall, ShellFolders{}),
            "a\r\ndel install.bat\r\n");
  const std::string twice = Compose(
      "[uninstall]\nset_system_directory_here\nset_system_directory_here\n", BatchKind::kUninstall);
  EXPECT_EQ(twice.size(),
            2 * Compose("[uninstall]\nset_system_directory_here\n", BatchKind::kUninstall).size());
}

TEST(BatchFileTest, LinesEndInCrLfWhateverTheScriptUsed) {
  const std::string expected = "echo a\r\n\r\necho b\r\ndel install.bat\r\n";
  EXPECT_EQ(Compose("[install]\necho a\n\necho b\n[run]\n", BatchKind::kInstall), expected);
  EXPECT_EQ(Compose("[install]\r\necho a\r\n\r\necho b\r\n[run]\r\n", BatchKind::kInstall),
            expected);
  // A lone CR inside a line is text, not a line end.
  EXPECT_EQ(Compose("[install]\na\rb\n", BatchKind::kInstall), "a\rb\r\ndel install.bat\r\n");
}

TEST(BatchFileTest, EmptyBodyGivesOnlyTheClosingLine) {
  EXPECT_EQ(Compose("[install]\n[run]\napp.exe\n", BatchKind::kInstall), "del install.bat\r\n");
  EXPECT_EQ(Compose("[uninstall]\n[run]\n", BatchKind::kUninstall), "");
  EXPECT_EQ(Compose("[run]\napp.exe\n", BatchKind::kInstall), "(absent)");
}

TEST(BatchFileTest, CharactersOutsideTheCodePageAndLongLines) {
  EXPECT_EQ(Compose("[install]\necho caf\xC3\xA9 \xE2\x82\xAC\n", BatchKind::kInstall),
            "echo caf\xE9 ?\r\ndel install.bat\r\n");
  // No line buffer: a line over 1023 bytes is written whole.
  const std::string longLine = "echo " + std::string(3000, 'x');
  EXPECT_EQ(Compose("[install]\n" + longLine + "\n", BatchKind::kInstall),
            longLine + "\r\ndel install.bat\r\n");
}

TEST(BatchFileTest, SectionsFilesAndClosingLines) {
  const BatchSection& prepare = BatchSectionOf(BatchKind::kPrepare, false);
  EXPECT_STREQ(prepare.sectionName, "prepare");
  EXPECT_EQ(std::u16string_view(prepare.fileName), u"prepare.bat");
  EXPECT_STREQ(prepare.closingLine, "del prepare.bat\r\n");
  EXPECT_TRUE(prepare.runAndWait);

  for (bool wow64 : {false, true}) {
    const BatchSection& bin = BatchSectionOf(BatchKind::kBin, wow64);
    EXPECT_STREQ(bin.sectionName, wow64 ? "bin_64" : "bin_32");
    EXPECT_EQ(std::u16string_view(bin.fileName), u"install_bin.bat");
    EXPECT_STREQ(bin.closingLine, "del install_bin.bat\r\n");
    EXPECT_TRUE(bin.runAndWait);
  }
  // No fallback: on 64-bit Windows a script with only [bin_32] writes nothing.
  EXPECT_EQ(Compose("[bin_32]\necho 32\n[x]\n", BatchKind::kBin, SampleFolders(), true),
            "(absent)");
  EXPECT_EQ(Compose("[bin_32]\necho 32\n[x]\n", BatchKind::kBin, SampleFolders(), false),
            "echo 32\r\ndel install_bin.bat\r\n");

  const BatchSection& install = BatchSectionOf(BatchKind::kInstall, true);
  EXPECT_EQ(std::u16string_view(install.fileName), u"install.bat");
  EXPECT_STREQ(install.closingLine, "del install.bat\r\n");

  const BatchSection& uninstall = BatchSectionOf(BatchKind::kUninstall, false);
  EXPECT_EQ(std::u16string_view(uninstall.fileName), u"uninstall.bat");
  EXPECT_EQ(uninstall.closingLine, nullptr);
  EXPECT_FALSE(uninstall.runAndWait);

  EXPECT_EQ(BatchCommandParameters(u"install.bat"), u"/c \"install.bat\"");
}

}  // namespace
