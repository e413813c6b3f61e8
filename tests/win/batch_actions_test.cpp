// The batch sections for real: files written with their exact bytes in the
// OEM code page, run hidden by cmd.exe in the install folder, waited for and
// gone afterwards; uninstall.bat left behind and never run.
#include <array>

#include "action_test_support.h"

namespace {

constexpr wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The machine's common folders, replaced for one test and put back after it.
class ShellFoldersOverride {
 public:
  static constexpr std::array<const wchar_t*, 5> kNames = {L"Common Desktop", L"Common Start Menu",
                                                           L"Common Programs", L"Common Startup",
                                                           L"Common AppData"};

  ShellFoldersOverride() {
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, kShellFolders, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key_, nullptr);
    for (size_t i = 0; i < kNames.size(); ++i) {
      wchar_t value[1024] = {};
      DWORD size = sizeof(value) - sizeof(wchar_t);
      saved_[i].present = RegQueryValueExW(key_, kNames[i], nullptr, nullptr,
                                           reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS;
      saved_[i].value = value;
    }
  }
  ~ShellFoldersOverride() {
    for (size_t i = 0; i < kNames.size(); ++i) {
      if (saved_[i].present) {
        Set(i, saved_[i].value.c_str());
      } else {
        RegDeleteValueW(key_, kNames[i]);
      }
    }
    RegCloseKey(key_);
  }

  void Set(size_t index, const wchar_t* value) {
    RegSetValueExW(key_, kNames[index], 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
  }
  void Remove(size_t index) { RegDeleteValueW(key_, kNames[index]); }

 private:
  struct Saved {
    bool present = false;
    std::wstring value;
  };
  HKEY key_ = nullptr;
  std::array<Saved, kNames.size()> saved_;
};

class BatchActionTest : public ActionTest {
 protected:
  void SetUp() override {
    ActionTest::SetUp();
    // The expected bytes below are those of the prefix's US code page.
    ASSERT_EQ(GetOEMCP(), 437u);
  }
};

TEST_F(BatchActionTest, PrepareGetsTheShellFoldersRunsInTheTargetAndDeletesItself) {
  ShellFoldersOverride folders;
  folders.Set(0, L"C:\\Users\\Public\\Desktop");
  folders.Set(1, L"C:\\ProgramData\\Start Menu");
  folders.Set(2, L"C:\\ProgramData\\Programme \u00FC");
  folders.Remove(3);  // a missing value still gives its line
  folders.Set(4, L"C:\\ProgramData");

  // LF-only lines; the batch copies itself while it runs, so its bytes can be
  // looked at after it has deleted itself.
  const BatchRun run =
      DoPrepareSection(Context("[prepare]\n"
                               "copy prepare.bat seen.bat\n"
                               "set_system_directory_here\n"
                               "cd > cwd.txt\n"
                               "[install]\n"));

  EXPECT_EQ(run, BatchRun::kFinished);
  EXPECT_FALSE(PathExists(InTarget(L"prepare.bat")));
  EXPECT_EQ(ReadWholeFile(InTarget(L"seen.bat")),
            "copy prepare.bat seen.bat\r\n"
            "set Desktop=C:\\Users\\Public\\Desktop\r\n"
            "set StartMenu=C:\\ProgramData\\Start Menu\r\n"
            "set Programs=C:\\ProgramData\\Programme \x81\r\n"
            "set Startup=\r\n"
            "set AppData=C:\\ProgramData\r\n"
            "cd > cwd.txt\r\n"
            "del prepare.bat\r\n");
  std::string cwd = ReadWholeFile(InTarget(L"cwd.txt"));
  while (!cwd.empty() && (cwd.back() == '\n' || cwd.back() == '\r')) cwd.pop_back();
  EXPECT_EQ(cwd, std::string(target_.begin(), target_.end()));
}

TEST_F(BatchActionTest, UninstallIsWrittenExactlyAndNeverRun) {
  const std::string longLine = "rem " + std::string(1100, 'x');
  const BatchRun run = DoUninstallSection(
      Context("[uninstall]\r\n"
              "echo ran> uninstall_ran.txt\r\n"
              "set_system_directory_here \r\n"  // not the marker: copied as it is
              "\r\n"
              "echo Gr\xC3\xBC\xC3\x9F"
              "e \xE4\xB8\xAD\r\n" +
              longLine + "\r\n"));

  EXPECT_EQ(run, BatchRun::kWritten);
  EXPECT_EQ(ReadWholeFile(InTarget(L"uninstall.bat")),
            "echo ran> uninstall_ran.txt\r\n"
            "set_system_directory_here \r\n"
            "\r\n"
            "echo Gr\x81\xE1"
            "e ?\r\n" +
                longLine + "\r\n");
  Sleep(500);
  EXPECT_FALSE(PathExists(InTarget(L"uninstall_ran.txt")));
}

TEST_F(BatchActionTest, WaitsForTheWholeBatch) {
  const BatchRun run =
      DoInstallSection(Context("[install]\n"
                               "for /L %%i in (1,1,3000) do rem %%i\n"
                               "echo done> done.txt\n"));
  EXPECT_EQ(run, BatchRun::kFinished);
  EXPECT_TRUE(PathExists(InTarget(L"done.txt")));
  EXPECT_FALSE(PathExists(InTarget(L"install.bat")));
}

TEST_F(BatchActionTest, HeaderFollowedByHeaderStillRunsTheDelLine) {
  EXPECT_EQ(DoInstallSection(Context("[install]\n[run]\nx.exe\n")), BatchRun::kFinished);
  EXPECT_FALSE(PathExists(InTarget(L"install.bat")));
}

TEST_F(BatchActionTest, BatchEndingEarlyDoesNotHangTheWaiter) {
  EXPECT_EQ(DoInstallSection(Context("[install]\n"
                                     "echo before> before.txt\n"
                                     "exit\n"
                                     "echo after> after.txt\n")),
            BatchRun::kLeftBehind);
  EXPECT_TRUE(PathExists(InTarget(L"before.txt")));
  EXPECT_FALSE(PathExists(InTarget(L"after.txt")));
  EXPECT_TRUE(PathExists(InTarget(L"install.bat")));

  // Its del line runs in another folder and finds nothing to delete.
  EXPECT_EQ(DoPrepareSection(Context("[prepare]\ncd ..\n")), BatchRun::kLeftBehind);
  EXPECT_TRUE(PathExists(InTarget(L"prepare.bat")));
}

TEST_F(BatchActionTest, AbsentSectionsWriteAndRunNothing) {
  const ScriptActionContext context = Context("[run]\nx.exe\n[register]\n");
  EXPECT_EQ(DoPrepareSection(context), BatchRun::kAbsent);
  EXPECT_EQ(DoBinSection(context), BatchRun::kAbsent);
  EXPECT_EQ(DoInstallSection(context), BatchRun::kAbsent);
  EXPECT_EQ(DoUninstallSection(context), BatchRun::kAbsent);
  for (const wchar_t* name :
       {L"prepare.bat", L"install_bin.bat", L"install.bat", L"uninstall.bat"}) {
    EXPECT_FALSE(PathExists(InTarget(name))) << testing::PrintToString(std::wstring(name));
  }
}

TEST_F(BatchActionTest, BinSectionMatchesTheSystemsWordSizeWithoutFallback) {
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  const bool system64 = sizeof(void*) == 8 || wow64;
  ASSERT_EQ(IsWow64(), system64);

  const char* other = system64 ? "[bin_32]\necho 32> bin.txt\n" : "[bin_64]\necho 64> bin.txt\n";
  EXPECT_EQ(DoBinSection(Context(other)), BatchRun::kAbsent);
  EXPECT_FALSE(PathExists(InTarget(L"install_bin.bat")));

  EXPECT_EQ(DoBinSection(Context("[bin_32]\necho 32> bin.txt\n[bin_64]\necho 64> bin.txt\n")),
            BatchRun::kFinished);
  EXPECT_EQ(ReadWholeFile(InTarget(L"bin.txt")), system64 ? "64\r\n" : "32\r\n");
  EXPECT_FALSE(PathExists(InTarget(L"install_bin.bat")));
}

TEST_F(BatchActionTest, LocaleVariantIsChosenOverThePlainSection) {
  EXPECT_EQ(DoInstallSection(
                Context("[install]\necho plain> plain.txt\n[install.de]\necho de> de.txt\n", "de")),
            BatchRun::kFinished);
  EXPECT_TRUE(PathExists(InTarget(L"de.txt")));
  EXPECT_FALSE(PathExists(InTarget(L"plain.txt")));
}

TEST_F(BatchActionTest, UncreatableFileIsNeitherWrittenNorRun) {
  ScriptActionContext context = Context("[install]\necho x> x.txt\n");
  context.targetDir = U16(InTarget(L"missing"));
  EXPECT_EQ(DoInstallSection(context), BatchRun::kNotWritten);
}

}  // namespace
