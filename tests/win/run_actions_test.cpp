// [run] lines starting a real program through the shell: which parameter it
// gets and which folder it works in.
#include "action_test_support.h"

namespace {

// The probe's log, once it has appeared whole; empty after ~20 s without.
std::string WaitForLog(const std::wstring& path) {
  for (int i = 0; i < 200; ++i) {
    if (PathExists(path)) return ReadWholeFile(path);
    Sleep(100);
  }
  return {};
}

std::string Utf8(const std::wstring& text) {
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), length, nullptr, nullptr);
  out.pop_back();
  return out;
}

class RunActionTest : public ActionTest {
 protected:
  void SetUp() override {
    ActionTest::SetUp();
    CreateDirectoryW(InTarget(L"bin").c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(RUN_PROBE_EXE, InTarget(L"bin\\run_probe.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(RUN_PROBE_EXE, InTarget(L"run_probe.exe").c_str(), FALSE));
  }
};

TEST_F(RunActionTest, StartsEachLineWithItsLastPieceInItsOwnFolder) {
  DoRunSection(
      Context("[run]\n"
              "bin\\run_probe.exe -a -b\n"
              "run_probe.exe  \xC3\xBC-x\n"
              "[install]\n"));
  EXPECT_EQ(WaitForLog(InTarget(L"bin\\run_probe.log")), "-b\ncwd=" + Utf8(target_) + "\\bin\n");
  EXPECT_EQ(WaitForLog(InTarget(L"run_probe.log")), "\xC3\xBC-x\ncwd=" + Utf8(target_) + "\n");
}

TEST_F(RunActionTest, LineWithoutBlankPassesNoParameter) {
  DoRunSection(Context("[run]\r\nbin\\run_probe.exe\r\n"));
  EXPECT_EQ(WaitForLog(InTarget(L"bin\\run_probe.log")), "cwd=" + Utf8(target_) + "\\bin\n");
}

TEST_F(RunActionTest, MissingProgramIsPassedOver) {
  DoRunSection(Context("[run]\nmissing.exe\nbin\\run_probe.exe\n"));
  EXPECT_EQ(WaitForLog(InTarget(L"bin\\run_probe.log")), "cwd=" + Utf8(target_) + "\\bin\n");
}

}  // namespace
