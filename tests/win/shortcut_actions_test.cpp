// [shortcuts] lines saved as real .lnk files and loaded back through the
// shell's link object: target, working directory and description.
#include <objidl.h>
#include <shlobj.h>

#include "action_test_support.h"

namespace {

struct LoadedLink {
  bool loaded = false;
  std::wstring target;
  std::wstring workingDirectory;
  std::wstring description;
};

LoadedLink LoadLink(const std::wstring& path) {
  LoadedLink result;
  CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
        wchar_t text[1024] = {};
        result.loaded = true;
        link->GetPath(text, 1024, nullptr, SLGP_RAWPATH);
        result.target = text;
        text[0] = 0;
        link->GetWorkingDirectory(text, 1024);
        result.workingDirectory = text;
        text[0] = 0;
        link->GetDescription(text, 1024);
        result.description = text;
      }
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return result;
}

class ShortcutActionTest : public ActionTest {
 protected:
  void SetUp() override {
    ActionTest::SetUp();
    // The link object may resolve its target; give it real files.
    CreateDirectoryW(InTarget(L"bin").c_str(), nullptr);
    WriteWholeFile(InTarget(L"bin\\run.exe"), "");
    WriteWholeFile(InTarget(L"run.exe"), "");
  }

  void ExpectLink(const std::wstring& name, const std::wstring& target,
                  const std::wstring& workingDirectory, const std::wstring& description) {
    const LoadedLink link = LoadLink(InTarget(name));
    ASSERT_TRUE(link.loaded) << testing::PrintToString(name);
    EXPECT_EQ(link.target, target);
    EXPECT_EQ(link.workingDirectory, workingDirectory);
    EXPECT_EQ(link.description, description);
  }
};

TEST_F(ShortcutActionTest, SavesTargetWorkingDirectoryAndDescription) {
  // CR LF header: its LF makes an empty first line. A link in a missing
  // folder is not saved and the next line is still handled.
  DoShortcutsSection(
      Context("[shortcuts]\r\n"
              "Example.lnk=bin\\run.exe;Starts the tool\r\n"
              "plain.lnk=run.exe\r\n"
              "missing\\lost.lnk=run.exe\r\n"
              "semi.lnk=run.exe;one;two\r\n"
              "equals.lnk=x=y\r\n"
              "no equals here\r\n"
              "\r\n"
              "W\xC3\xBCrfel.lnk=run.exe;\xE2\x82\xAC\r\n"
              "[run]\r\n"
              "outside.lnk=run.exe\r\n"));

  ExpectLink(L"Example.lnk", target_ + L"\\bin\\run.exe", target_ + L"\\bin", L"Starts the tool");
  ExpectLink(L"plain.lnk", target_ + L"\\run.exe", target_, L"");
  ExpectLink(L"semi.lnk", target_ + L"\\run.exe", target_, L"one;two");
  ExpectLink(L"equals.lnk", target_ + L"\\x=y", target_, L"");
  ExpectLink(L"W\u00FCrfel.lnk", target_ + L"\\run.exe", target_, L"\u20AC");
  EXPECT_FALSE(PathExists(InTarget(L"missing")));
  EXPECT_FALSE(PathExists(InTarget(L"outside.lnk")));
}

TEST_F(ShortcutActionTest, TextBehindTheHeaderBracketIsTheFirstLine) {
  DoShortcutsSection(Context("[shortcuts] behind.lnk=run.exe\nnext.lnk=run.exe\n"));
  ExpectLink(L"behind.lnk", target_ + L"\\run.exe", target_, L"");
  ExpectLink(L"next.lnk", target_ + L"\\run.exe", target_, L"");
}

TEST_F(ShortcutActionTest, DriveRootTargetWorksInTheRoot) {
  ScriptActionContext context = Context("[shortcuts]\nroot.lnk=run.exe\n");
  context.targetDir = u"C:";
  DoShortcutsSection(context);
  ExpectLink(L"root.lnk", L"C:\\run.exe", L"C:\\", L"");
}

}  // namespace
