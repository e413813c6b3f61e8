// A package extracted by the Windows build into a real folder, for what the
// portable walker's tests and the end-to-end installs leave open: all three
// times of a file, and the progress as window messages, throttled.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "installer/win32/progress_window.h"
#include "package/tree_walker.h"
#include "test_support.h"

namespace {

const char16_t* AsU16(const std::wstring& text) {
  return reinterpret_cast<const char16_t*>(text.c_str());
}

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
    std::unique_ptr<InputFile> file = OpenPackageFile(AsU16(setup));
    ASSERT_TRUE(file);
    std::unique_ptr<TreeOutput> output = OpenTreeOutput(AsU16(target));
    ExtractOptions options;
    options.progress = &progress;
    const ExtractStats stats = ExtractTree(*file, SCRIPT_OFFSET + script.size(), *output, options);
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

// What the Windows output adds to the walk: the package file cannot be
// renamed or written while it is open; an old file is replaced whole (a
// read-only one too), its other hard-linked name keeps the old bytes, a new
// name is written in place, and a
// killed extraction's leftovers go. (A file in use: the end-to-end tests.)
TEST(TreeExtractTest, ReplacesWholeFilesAndLeavesNothingBehind) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tree_replace_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "target");
  auto write = [](const std::filesystem::path& path, const char* text) {
    std::ofstream(path, std::ios::binary) << text;
  };
  auto read = [](const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::filesystem::path target = dir / "target";
  write(target / "readonly.txt", "old");
  SetFileAttributesW((target / "readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  write(dir / "outside.txt", "outside");
  ASSERT_TRUE(
      CreateHardLinkW((target / "hard.txt").c_str(), (dir / "outside.txt").c_str(), nullptr));
  write(target / "~setup0badf00d.tmp", "left by a killed setup");
  TreeSection tree;
  for (const char* name : {"readonly.txt", "hard.txt", "fresh.txt"})
    tree.File(name, ToBytes("new"));
  const Bytes script = ToBytes("[locale]\n");
  const Bytes package = AssemblePackage(FakeStub(), 0, script, tree.Build());
  const std::filesystem::path setup = dir / "setup.exe";
  std::ofstream(setup, std::ios::binary)
      .write(reinterpret_cast<const char*>(package.data()),
             static_cast<std::streamsize>(package.size()));

  std::unique_ptr<InputFile> file = OpenPackageFile(AsU16(setup.wstring()));
  ASSERT_TRUE(file);
  EXPECT_FALSE(MoveFileExW(setup.c_str(), (dir / "moved.exe").c_str(), 0));
  EXPECT_EQ(CreateFileW(setup.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                        nullptr),
            INVALID_HANDLE_VALUE);
  std::unique_ptr<TreeOutput> output = OpenTreeOutput(AsU16(target.wstring()));
  const ExtractStats stats =
      ExtractTree(*file, SCRIPT_OFFSET + script.size(), *output, ExtractOptions());
  EXPECT_TRUE(stats.Clean());
  for (const char* name : {"readonly.txt", "hard.txt", "fresh.txt"}) {
    EXPECT_EQ(read(target / name), "new") << name;
  }
  EXPECT_EQ(read(dir / "outside.txt"), "outside");
  output.reset();  // its folder of temporary files goes with it
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(target)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"fresh.txt", "hard.txt", "readonly.txt"}));
  file.reset();
  std::filesystem::remove_all(dir);
}

}  // namespace
