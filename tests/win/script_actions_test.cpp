// The script's actions on the real system, for what the portable tests of
// the line parsers and the end-to-end installs leave open: batch bytes in the
// OEM code page, batches that end early or cannot be written, and every
// registry root and value kind, with lines that fail in between.
#include "script/win32/script_actions.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>

namespace fs = std::filesystem;

namespace {

std::string Utf8(const std::wstring& text) {
  const std::u8string utf8 = fs::path(text).u8string();
  return std::string(utf8.begin(), utf8.end());
}

// A scratch install folder, empty and current for each test; the actions
// read a copy of the script given to Context.
class ScriptActionTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  // 32-bit Wine lets the folder of a batch go only a moment after cmd.exe has ended.
  void TearDown() override {
    fs::current_path(fs::temp_directory_path());
    std::error_code error;
    for (int i = 0; i < 50 && (fs::remove_all(target_, error), error); ++i) Sleep(20);
    fs::remove_all(target_);
  }
  void Reset() {
    TearDown();
    ASSERT_TRUE(fs::create_directory(target_));
    fs::current_path(target_);
  }
  ScriptActionContext Context(const std::string& script) {
    script_.assign(script.begin(), script.end());
    ScriptActionContext context;
    context.script = ScriptText{script_.data(), script_.size()};
    context.targetDir = reinterpret_cast<const char16_t*>(target_.c_str());
    context.record = &record_;
    return context;
  }
  std::string Read(const wchar_t* name) const {
    std::ifstream in(fs::path(target_) / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string Listing() const {  // the folder's files, sorted, space-separated
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(target_)) {
      names.insert(entry.path().filename().string());
    }
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : " ") + name;
    return text;
  }

  InstallRecord record_;  // what the actions made
  // No trailing backslash.
  const std::wstring target_ =
      (fs::temp_directory_path() /
       ("actions-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name())))
          .wstring();

 private:
  std::vector<uint8_t> script_;
};

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

// The machine's common folders, replaced for one test and put back after it.
class ShellFoldersOverride {
 public:
  ShellFoldersOverride() {
    for (size_t i = 0; i < kShellFolderVars.size(); ++i) {
      wchar_t value[1024];
      DWORD size = sizeof(value);
      if (RegGetValueW(HKEY_LOCAL_MACHINE, Wide(kShellFoldersKey), Name(i),
                       RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, value,
                       &size) == ERROR_SUCCESS) {
        saved_[i] = value;
      }
    }
  }
  ~ShellFoldersOverride() {
    for (size_t i = 0; i < kShellFolderVars.size(); ++i) {
      Set(i, saved_[i] ? saved_[i]->c_str() : nullptr);
    }
  }
  static void Set(size_t i, const wchar_t* value) {  // null: none
    if (value == nullptr) {
      RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, Wide(kShellFoldersKey), Name(i));
    } else {
      RegSetKeyValueW(HKEY_LOCAL_MACHINE, Wide(kShellFoldersKey), Name(i), REG_SZ, value,
                      static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    }
  }

 private:
  static const wchar_t* Name(size_t i) { return Wide(kShellFolderVars[i].registryName); }
  std::optional<std::wstring> saved_[kShellFolderVars.size()];
};

TEST_F(ScriptActionTest, BatchesGetTheShellFoldersInTheOemCodePage) {
  ASSERT_EQ(GetOEMCP(), 437u) << "the expected bytes are those of the US code page";
  ShellFoldersOverride folders;
  folders.Set(0, L"C:\\Users\\Public\\Desktop");
  folders.Set(1, L"C:\\ProgramData\\Start Menu");
  folders.Set(2, L"C:\\ProgramData\\Programme \u00FC");
  folders.Set(3, nullptr);  // a missing value still gives its line
  folders.Set(4, L"C:\\ProgramData");
  // LF-only lines; the batch copies itself, so that its bytes can be seen
  // after it has deleted itself.
  const ScriptActionContext context = Context(
      "[prepare]\ncopy prepare.bat seen.bat\nset_system_directory_here\ncd > cwd.txt\n"
      "[uninstall]\r\necho ran> uninstall_ran.txt\r\nset_system_directory_here \r\n\r\n"
      "echo Gr\xC3\xBC\xC3\x9F"
      "e \xE4\xB8\xAD " +
      std::string(1100, 'x') + "\r\n");
  EXPECT_EQ(DoPrepareSection(context), BatchRun::kFinished);
  EXPECT_EQ(Listing(), "cwd.txt seen.bat");
  EXPECT_EQ(Read(L"seen.bat"),
            "copy prepare.bat seen.bat\r\nset Desktop=C:\\Users\\Public\\Desktop\r\n"
            "set StartMenu=C:\\ProgramData\\Start Menu\r\nset Programs=C:\\ProgramData\\Programme "
            "\x81\r\nset Startup=\r\nset AppData=C:\\ProgramData\r\ncd > cwd.txt\r\n"
            "del prepare.bat\r\n");
  EXPECT_EQ(Read(L"cwd.txt"), Utf8(target_) + "\r\n");
  // Written whole, never run.
  EXPECT_EQ(DoUninstallSection(context), BatchRun::kWritten);
  EXPECT_EQ(Read(L"uninstall.bat"),
            "echo ran> uninstall_ran.txt\r\nset_system_directory_here \r\n\r\necho Gr\x81\xE1"
            "e ? " +
                std::string(1100, 'x') + "\r\n");
  Sleep(500);
  EXPECT_EQ(Listing(), "cwd.txt seen.bat uninstall.bat");
}

TEST_F(ScriptActionTest, BatchesRunToTheirEndAndAreRemovedBySetup) {
  using enum BatchRun;
  const struct {
    const char* script;
    BatchRun result;
    const char* left;  // the folder's files after the run
  } cases[] = {
      {"[install]\nfor /L %%i in (1,1,3000) do rem %%i\necho > done\n", kFinished, "done"},
      {"[install]\necho > before\nexit\necho > after\n", kFinished, "before"},
      {"[install]\ncd ..\n", kFinished, ""},         // its del line runs elsewhere
      {"[install]\n[run]\nx.exe\n", kFinished, ""},  // an empty body still deletes itself
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.script);
    Reset();
    EXPECT_EQ(DoInstallSection(Context(c.script)), c.result);
    EXPECT_EQ(Listing(), c.left);
  }
  const ScriptActionContext none = Context("[run]\nx.exe\n[install.de]\n");
  for (auto action : {DoPrepareSection, DoBinSection, DoInstallSection, DoUninstallSection}) {
    EXPECT_EQ(action(none), kAbsent);
  }
  EXPECT_EQ(Listing(), "") << "an absent section writes nothing";
  ScriptActionContext uncreatable = Context("[install]\necho x> x.txt\n");
  uncreatable.targetDir += u"\\missing";
  EXPECT_EQ(DoInstallSection(uncreatable), kNotWritten);
}

// "TYPE:hex bytes" of a stored value, or "missing".
std::string Value(HKEY root, const std::wstring& key, const wchar_t* name) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return "missing";
  BYTE data[1024];
  DWORD size = sizeof(data), type = REG_NONE;
  const bool found = RegQueryValueExW(opened, name, nullptr, &type, data, &size) == ERROR_SUCCESS;
  RegCloseKey(opened);
  std::string out = !found              ? "missing"
                    : type == REG_DWORD ? "dword:"
                    : type == REG_SZ    ? "sz:"
                                        : "?:";
  for (DWORD i = 0; found && i < size; ++i) {
    out += "0123456789abcdef"[data[i] >> 4];
    out += "0123456789abcdef"[data[i] & 15];
  }
  return out;
}

TEST_F(ScriptActionTest, RegistryValuesUnderEveryRootWithTheirExactData) {
  const std::wstring key = L"Software\\SetupActionsTest";
  const HKEY roots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CLASSES_ROOT};
  const wchar_t* const subkeys[] = {key.c_str(), key.c_str(),
                                    L".DEFAULT\\Software\\SetupActionsTest", L"SetupActionsTest"};
  auto clean = [&] {
    for (size_t i = 0; i < 4; ++i) RegDeleteTreeW(roots[i], subkeys[i]);
  };
  clean();
  const std::string hkcu = "HKEY_CURRENT_USER\\Software\\SetupActionsTest\\";
  DoRegisterSection(Context("[register]\n" + hkcu + "Count=DWORD:1A\n" + hkcu +
                            "Empty=\r\n\nHKCU\\Software\\SetupActionsTest\\Short=1\n" + hkcu +
                            std::string(512, 'n') + "=too long\n" + hkcu + "Gr\xC3\xBC\xC3\x9F" +
                            "e=\xE2\x82\xAC 5\n" + hkcu + "Nested\\Deeper\\ Name =x\n" +
                            "HKEY_LOCAL_MACHINE\\Software\\SetupActionsTest\\=C:\\Dir\n"
                            "HKEY_USERS\\.DEFAULT\\Software\\SetupActionsTest\\U=DWORD:2\n"
                            "HKEY_CLASSES_ROOT\\SetupActionsTest\\C=c\n"
                            "[shortcuts]\n" +
                            hkcu + "Outside=1\n"));
  EXPECT_EQ(Value(HKEY_CURRENT_USER, key, L"Count"), "dword:1a000000");
  EXPECT_EQ(Value(HKEY_CURRENT_USER, key, L"Empty"), "sz:0000");
  EXPECT_EQ(Value(HKEY_CURRENT_USER, key, L"Gr\u00FC\u00DFe"), "sz:ac20200035000000");
  EXPECT_EQ(Value(HKEY_CURRENT_USER, key + L"\\Nested\\Deeper", L" Name "), "sz:78000000");
  EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, key, L""),
            "sz:43003a005c00440069007200" + std::string(4, '0'));
  EXPECT_EQ(Value(HKEY_USERS, subkeys[2], L"U"), "dword:02000000");
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, subkeys[3], L"C"), "sz:63000000");
  HKEY opened = nullptr;
  DWORD values = 0;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened), ERROR_SUCCESS);
  RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(opened);
  EXPECT_EQ(values, 3u) << "only the well-formed lines inside the section write";
  // Each value set and key made is recorded, and the record takes them all away again.
  EXPECT_EQ(record_.size(), 7u + 6u);
  EXPECT_TRUE(RemoveRecorded(record_).empty());
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(RegOpenKeyExW(roots[i], subkeys[i], 0, KEY_READ, &opened), ERROR_FILE_NOT_FOUND);
  }
  clean();
}

// Whatever a record names, only a shortcut file and an empty folder go.
TEST_F(ScriptActionTest, RecordedPathsGoOnlyAsShortcutsAndEmptyFolders) {
  std::ofstream(fs::path(target_) / "a.txt") << "kept";
  const std::u16string target = reinterpret_cast<const char16_t*>(target_.c_str());
  const InstallRecord record = {RecordedPathLine(RecordedPathKind::kLink, target + u"\\a.txt"),
                                RecordedPathLine(RecordedPathKind::kFolder, target),
                                RecordedPathLine(RecordedPathKind::kLink, target + u"\\b.lnk")};
  EXPECT_EQ(RemoveRecorded(record), InstallRecord(record.begin(), record.begin() + 2));
  EXPECT_EQ(Read(L"a.txt"), "kept");
}

}  // namespace
