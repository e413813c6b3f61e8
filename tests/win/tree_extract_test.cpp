// A package extracted by the Windows build into a real folder, for what the
// portable walker's tests and the end-to-end installs leave open: all three
// times of a file, and the progress as window messages, throttled.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "installer/win32/progress_window.h"
#include "package/tree_walker.h"
#include "test_support.h"

namespace {

// The progress messages the recorder window received: "name a.txt", "percent 0".
std::vector<std::string> g_messages;

LRESULT CALLBACK Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_SETUP_PROGRESS) return DefWindowProcW(window, message, wParam, lParam);
  g_messages.push_back(
      wParam == PROGRESS_FILE_NAME
          ? "name " + std::filesystem::path(reinterpret_cast<const wchar_t*>(lParam)).string()
          : "percent " + std::to_string(lParam));
  return 0;
}

// "YYYY-MM-DD hh:mm:ss.mmm" of the creation, access and write time.
std::string Times(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  FILETIME times[3] = {};
  GetFileTime(file, &times[0], &times[1], &times[2]);
  CloseHandle(file);
  std::string out;
  for (const FILETIME& time : times) {
    SYSTEMTIME t;
    FileTimeToSystemTime(&time, &t);
    char text[32];
    snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", t.wYear, t.wMonth, t.wDay,
             t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    out += text;
  }
  return out;
}

TEST(TreeExtractTest, WritesAllTimesAndReportsProgressAsMessages) {
  const Bytes big = TextLikeBytes(100000, 9);
  TreeSection tree;
  tree.Dir("sub").File("a.txt", ToBytes("hello"), {2022, 11, 3, 0, 0, 0, 0});
  tree.File("big.bin", RawDeflate(big), {2023, 5, 17, 13, 45, 30, 25}, ENTRY_COMPRESSED);
  tree.File("e.txt", {}, {2022, 11, 3, 0, 0, 0, 0}).End();
  tree.File("top.txt", ToBytes("top\r\n"), {2022, 11, 3, 0, 0, 0, 0}).End(ENTRY_END);
  const Bytes script = ToBytes("[locale]\n");
  const Bytes package = AssemblePackage(FakeStub(), 0, script, tree.Build());
  const std::filesystem::path temp = std::filesystem::temp_directory_path();
  const std::wstring setup = (temp / "tree_extract_test.exe").wstring();
  std::ofstream(std::filesystem::path(setup), std::ios::binary)
      .write(reinterpret_cast<const char*>(package.data()),
             static_cast<std::streamsize>(package.size()));

  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = Record;
  windowClass.lpszClassName = L"TreeExtractRecorder";
  RegisterClassW(&windowClass);
  HWND window = CreateWindowW(windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  // Every file reported, or (four files well within a minute) only the first.
  for (const DWORD intervalMs : {0ul, 60000ul}) {
    const std::wstring target = (temp / ("tree_extract_" + std::to_string(intervalMs))).wstring();
    g_messages.clear();
    ProgressWindow progress(window, WM_SETUP_PROGRESS, intervalMs);
    ExtractStats stats;
    EXPECT_EQ(ExtractPackageTree(reinterpret_cast<const char16_t*>(target.c_str()),
                                 reinterpret_cast<const char16_t*>(setup.c_str()),
                                 SCRIPT_OFFSET + script.size(), &progress, &stats),
              0);
    EXPECT_TRUE(stats.Clean());
    EXPECT_EQ(stats.filesWritten, 4u);
    // Times first: reading a file may move its access time.
    EXPECT_EQ(Times(target + L"\\sub\\big.bin"),
              "2023-05-17 13:45:30.250 2023-05-17 13:45:30.250 2023-05-17 13:45:30.250 ");
    EXPECT_EQ(Times(target + L"\\sub\\e.txt"),
              "2022-11-03 00:00:00.000 2022-11-03 00:00:00.000 2022-11-03 00:00:00.000 ");
    std::ifstream in(std::filesystem::path(target + L"\\sub\\big.bin"), std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), big);
    // Name first, then the percentage with this file: 5 bytes of a much
    // larger total are 0 %, and the last file never reaches 100.
    std::vector<std::string> seen = g_messages;
    for (size_t i : {3u, 5u}) {
      if (i < seen.size() && seen[i].rfind("percent ", 0) == 0) seen[i] = "percent N";
    }
    const std::vector<std::string> all = {"name a.txt", "percent 0", "name big.bin", "percent N",
                                          "name e.txt", "percent N", "name top.txt", "percent 99"};
    EXPECT_EQ(seen, intervalMs == 0 ? all : std::vector<std::string>(all.begin(), all.begin() + 2));
  }
  DestroyWindow(window);
  DeleteFileW(setup.c_str());
}

}  // namespace
