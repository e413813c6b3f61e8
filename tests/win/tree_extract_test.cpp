// A real package extracted into a real folder by the Windows build: files,
// folders and all three times on disk, and the progress arriving as window
// messages.
#include <gtest/gtest.h>
#include <windows.h>

#include "installer/progress_window_win32.h"
#include "package/tree_walker.h"
#include "test_support.h"

namespace {

constexpr EntryTime kTime{2022, 11, 3, 0, 0, 0, 0};
constexpr EntryTime kLaterTime{2023, 5, 17, 13, 45, 30, 25};

std::wstring Temp(const wchar_t* leaf) {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  return std::wstring(base) + leaf;
}

const char16_t* U16(const std::wstring& text) {
  return reinterpret_cast<const char16_t*>(text.c_str());
}

Bytes ReadBytes(const std::wstring& path) {
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return ToBytes("(missing)");
  Bytes bytes(GetFileSize(handle, nullptr));
  DWORD got = 0;
  if (!bytes.empty())
    ReadFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(handle);
  return bytes;
}

std::string Text(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                 unsigned second, unsigned milliseconds) {
  char text[32];
  snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", year, month, day, hour, minute,
           second, milliseconds);
  return text;
}

// Creation, access and write time must all be `time`.
void ExpectTimes(const std::wstring& path, const EntryTime& time) {
  HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  FILETIME times[3] = {};
  GetFileTime(handle, &times[0], &times[1], &times[2]);
  CloseHandle(handle);
  for (const FILETIME& filetime : times) {
    SYSTEMTIME t;
    FileTimeToSystemTime(&filetime, &t);
    EXPECT_EQ(Text(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds),
              Text(time.year, time.month, time.day, time.hour, time.minute, time.second,
                   time.hundredths * 10u))
        << std::string(path.begin(), path.end());
  }
}

// The progress messages a message-only window received: "name a.txt", "percent 0".
std::vector<std::string> g_messages;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_SETUP_PROGRESS) return DefWindowProcW(window, message, wParam, lParam);
  if (wParam == PROGRESS_FILE_NAME) {
    const std::wstring name = reinterpret_cast<const wchar_t*>(lParam);
    g_messages.push_back("name " + std::string(name.begin(), name.end()));
  } else {
    g_messages.push_back((wParam == PROGRESS_PERCENT ? "percent " : "other ") +
                         std::to_string(lParam));
  }
  return 0;
}

// sub\a.txt (stored), sub\big.bin (deflated, many windows), sub\e.txt
// (empty), top.txt, written as a setup file, extracted with progress
// messages sent every `intervalMs`.
class TreeExtractTest : public ::testing::Test {
 protected:
  const Bytes a = ToBytes("hello");
  const Bytes big = TextLikeBytes(100000, 9);
  const Bytes top = ToBytes("top level\r\n");
  const std::wstring setup = Temp(L"tree_extract_test.exe");
  const std::wstring target = Temp(L"tree_extract_target");
  uint64_t treeOffset = 0;

  void SetUp() override {
    TreeSection tree;
    tree.Dir("sub").File("a.txt", a, kTime);
    tree.File("big.bin", RawDeflate(big), kLaterTime, ENTRY_COMPRESSED).File("e.txt", {}, kTime);
    tree.End().File("top.txt", top, kTime).End(ENTRY_END);
    const Bytes script = ToBytes("[locale]\n");
    const Bytes file = AssemblePackage(FakeStub(), 0, script, tree.Build());
    treeOffset = SCRIPT_OFFSET + script.size();
    HANDLE handle = CreateFileW(setup.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(handle, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
    CloseHandle(handle);
  }
  void TearDown() override { DeleteFileW(setup.c_str()); }

  ExtractStats ExtractWithProgress(DWORD intervalMs) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TreeExtractRecorder";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(windowClass.lpszClassName, L"", 0, 0, 0, 10, 10, HWND_MESSAGE,
                                nullptr, windowClass.hInstance, nullptr);
    EXPECT_NE(window, nullptr);
    g_messages.clear();
    ProgressWindow progress(window, WM_SETUP_PROGRESS, intervalMs);
    ExtractStats stats;
    EXPECT_EQ(ExtractPackageTree(U16(target), U16(setup), treeOffset, &progress, &stats), 0);
    DestroyWindow(window);
    return stats;
  }
};

TEST_F(TreeExtractTest, WritesFilesFoldersAndTimesWithProgressMessages) {
  EXPECT_TRUE(ExtractWithProgress(0).Clean());
  // Times first: reading a file may move its access time.
  ExpectTimes(target + L"\\sub\\a.txt", kTime);
  ExpectTimes(target + L"\\sub\\big.bin", kLaterTime);
  ExpectTimes(target + L"\\sub\\e.txt", kTime);
  EXPECT_EQ(ReadBytes(target + L"\\sub\\a.txt"), a);
  EXPECT_EQ(ReadBytes(target + L"\\sub\\big.bin"), big);
  EXPECT_EQ(ReadBytes(target + L"\\top.txt"), top);
  EXPECT_EQ(ReadBytes(target + L"\\sub\\e.txt"), Bytes{});
  // Name first, then the percentage with this file included; 5 bytes of a
  // much larger total are 0 %, and the last file never reaches 100.
  ASSERT_EQ(g_messages.size(), 8u);
  EXPECT_EQ(g_messages[0], "name a.txt");
  EXPECT_EQ(g_messages[1], "percent 0");
  EXPECT_EQ(g_messages[2], "name big.bin");
  EXPECT_EQ(g_messages[4], "name e.txt");
  EXPECT_EQ(g_messages[6], "name top.txt");
  EXPECT_EQ(g_messages[7], "percent 99");
  for (size_t i = 3; i < 8; i += 2) EXPECT_EQ(g_messages[i].substr(0, 8), "percent ") << i;

  // One file by its path; the case must match.
  const std::wstring single = Temp(L"tree_extract_single.txt");
  DeleteFileW(single.c_str());
  EXPECT_EQ(ExtractPackageFile(U16(setup), treeOffset, u"SUB\\a.txt", U16(single)), 0);
  EXPECT_EQ(GetFileAttributesW(single.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ExtractPackageFile(U16(setup), treeOffset, u"sub\\a.txt", U16(single)), 0);
  ExpectTimes(single, kTime);
  EXPECT_EQ(ReadBytes(single), a);
  DeleteFileW(single.c_str());
}

// Four files well within a minute: only the first one's pair arrives, and
// every file is still written.
TEST_F(TreeExtractTest, ProgressIntervalReportsTheFirstFileThenOnlyWhenDue) {
  EXPECT_EQ(ExtractWithProgress(60000).filesWritten, 4u);
  EXPECT_EQ(g_messages, (std::vector<std::string>{"name a.txt", "percent 0"}));
  EXPECT_EQ(ReadBytes(target + L"\\top.txt"), top);
}

}  // namespace
