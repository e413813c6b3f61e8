#include "script/batch_file.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

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
