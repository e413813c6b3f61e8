// A real package extracted into a real folder by the Windows build: files,
// folders and times on disk, and the progress arriving as window messages.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "installer/win32/progress_window.h"
#include "base/byte_order.h"
#include "package/package_format.h"
#include "package/tree_walker.h"
#include "test_support.h"

namespace {

constexpr EntryTime kTime{2022, 11, 3, 0, 0, 0, 0};
constexpr EntryTime kLaterTime{2023, 5, 17, 13, 45, 30, 25};

std::wstring TempFolder(const wchar_t* leaf) {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  return std::wstring(base) + leaf;
}

const char16_t* U16(const std::wstring& text) {
  return reinterpret_cast<const char16_t*>(text.c_str());
}

// A package whose tree holds sub\a.txt (stored), sub\big.bin (deflated,
// several windows long), sub\e.txt (empty) and top.txt.
struct SamplePackage {
  Bytes a = ToBytes("hello");
  Bytes big = TextLikeBytes(100000, 9);
  Bytes top = ToBytes("top level\r\n");
  Bytes file;

  SamplePackage() {
    std::string index;
    Bytes data;
    auto add = [&](const char* name, const Bytes& stored, uint32_t flags, EntryTime time) {
      AppendFileEntry(index, name, strlen(name), flags, time, static_cast<uint32_t>(stored.size()),
                      static_cast<uint32_t>(data.size()));
      data.insert(data.end(), stored.begin(), stored.end());
    };
    AppendDirectoryEntry(index, "sub", 3);
    add("a.txt", a, 0, kTime);
    add("big.bin", RawDeflate(big), ENTRY_COMPRESSED, kLaterTime);
    add("e.txt", {}, 0, kTime);
    AppendEndEntry(index, ENTRY_DIRECTORY_END);
    add("top.txt", top, 0, kTime);
    AppendEndEntry(index, ENTRY_END);

    Bytes tree(9 + index.size());
    EncodeU32(tree.data() + 1, static_cast<uint32_t>(index.size()));
    std::copy(index.begin(), index.end(), tree.begin() + 5);
    EncodeU32(tree.data() + 5 + index.size(), static_cast<uint32_t>(data.size()));
    tree.insert(tree.end(), data.begin(), data.end());
    file = AssemblePackage(FakeStub(), 0, ToBytes("[locale]\n"), tree);
  }

  std::wstring WriteTo(const wchar_t* leaf) const {
    std::wstring path = TempFolder(leaf);
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(handle, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
    CloseHandle(handle);
    return path;
  }

  uint64_t TreeOffset() const {
    return SCRIPT_OFFSET + DecodeU32(file.data() + SCRIPT_LENGTH_OFFSET);
  }
};

Bytes ReadFileBytes(const std::wstring& path) {
  HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {};
  Bytes bytes(GetFileSize(handle, nullptr));
  DWORD got = 0;
  if (!bytes.empty())
    ReadFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  CloseHandle(handle);
  return bytes;
}

// All three times of a file as UTC system times.
std::vector<SYSTEMTIME> FileTimes(const std::wstring& path) {
  HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  FILETIME times[3] = {};
  GetFileTime(handle, &times[0], &times[1], &times[2]);
  CloseHandle(handle);
  std::vector<SYSTEMTIME> out(3);
  for (int i = 0; i < 3; ++i) FileTimeToSystemTime(&times[i], &out[i]);
  return out;
}

void ExpectTime(const std::wstring& path, const EntryTime& time) {
  std::vector<SYSTEMTIME> times = FileTimes(path);
  for (size_t i = 0; i < times.size(); ++i) {
    const SYSTEMTIME& t = times[i];
    SCOPED_TRACE(testing::Message()
                 << "time " << i << " of " << std::string(path.begin(), path.end()));
    EXPECT_EQ(t.wYear, time.year);
    EXPECT_EQ(t.wMonth, time.month);
    EXPECT_EQ(t.wDay, time.day);
    EXPECT_EQ(t.wHour, time.hour);
    EXPECT_EQ(t.wMinute, time.minute);
    EXPECT_EQ(t.wSecond, time.second);
    EXPECT_EQ(t.wMilliseconds, time.hundredths * 10);
  }
}

// Records the progress messages a window receives.
std::vector<std::pair<WPARAM, std::wstring>> g_messages;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETUP_PROGRESS) {
    if (wParam == PROGRESS_FILE_NAME) {
      g_messages.emplace_back(wParam, reinterpret_cast<const wchar_t*>(lParam));
    } else {
      g_messages.emplace_back(wParam, std::to_wstring(lParam));
    }
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// A message-only window of a class of its own that records what it gets.
HWND MakeRecorderWindow(const wchar_t* className) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = RecordingProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = className;
  if (RegisterClassW(&windowClass) == 0) return nullptr;
  g_messages.clear();
  return CreateWindowW(className, L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                       windowClass.hInstance, nullptr);
}

}  // namespace

TEST(TreeExtractWin32Test, WritesFilesFoldersAndTimesWithProgressMessages) {
  SamplePackage package;
  std::wstring stub = package.WriteTo(L"tree_extract_test.exe");
  std::wstring target = TempFolder(L"tree_extract_target");

  HWND window = MakeRecorderWindow(L"TreeExtractRecorder");
  ASSERT_NE(window, nullptr);

  ProgressWindow progress(window);
  ExtractStats stats;
  EXPECT_EQ(ExtractPackageTree(U16(target), U16(stub), package.TreeOffset(), &progress, &stats), 0);
  EXPECT_TRUE(stats.Clean());
  DestroyWindow(window);

  // Times first: reading a file may move its access time.
  ExpectTime(target + L"\\sub\\a.txt", kTime);
  ExpectTime(target + L"\\sub\\big.bin", kLaterTime);
  ExpectTime(target + L"\\sub\\e.txt", kTime);
  EXPECT_EQ(ReadFileBytes(target + L"\\sub\\a.txt"), package.a);
  EXPECT_EQ(ReadFileBytes(target + L"\\sub\\big.bin"), package.big);
  EXPECT_EQ(ReadFileBytes(target + L"\\top.txt"), package.top);
  DWORD emptyAttributes = GetFileAttributesW((target + L"\\sub\\e.txt").c_str());
  ASSERT_NE(emptyAttributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(ReadFileBytes(target + L"\\sub\\e.txt").empty());

  // Name first, then the percentage with this file included, for every file.
  ASSERT_EQ(g_messages.size(), 8u);
  const wchar_t* names[] = {L"a.txt", L"big.bin", L"e.txt", L"top.txt"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(g_messages[2 * i].first, static_cast<WPARAM>(PROGRESS_FILE_NAME));
    EXPECT_EQ(g_messages[2 * i].second, names[i]);
    EXPECT_EQ(g_messages[2 * i + 1].first, static_cast<WPARAM>(PROGRESS_PERCENT));
  }
  EXPECT_EQ(g_messages[1].second, L"0");   // 5 bytes of a much larger total
  EXPECT_EQ(g_messages[7].second, L"99");  // the last file never reaches 100

  // One file by its path; the case must match.
  std::wstring single = TempFolder(L"tree_extract_single.txt");
  DeleteFileW(single.c_str());
  EXPECT_EQ(ExtractPackageFile(U16(stub), package.TreeOffset(), u"SUB\\a.txt", U16(single)), 0);
  EXPECT_EQ(GetFileAttributesW(single.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ExtractPackageFile(U16(stub), package.TreeOffset(), u"sub\\a.txt", U16(single)), 0);
  ExpectTime(single, kTime);
  EXPECT_EQ(ReadFileBytes(single), package.a);
  DeleteFileW(single.c_str());
  DeleteFileW(stub.c_str());
}

TEST(TreeExtractWin32Test, ProgressIntervalReportsTheFirstFileThenOnlyWhenDue) {
  SamplePackage package;
  std::wstring stub = package.WriteTo(L"tree_extract_interval.exe");
  std::wstring target = TempFolder(L"tree_extract_interval");

  HWND window = MakeRecorderWindow(L"TreeExtractIntervalRecorder");
  ASSERT_NE(window, nullptr);

  // Four files well within a minute: only the first one's pair arrives, and
  // every file is still written.
  ProgressWindow progress(window, WM_SETUP_PROGRESS, 60000);
  ExtractStats stats;
  EXPECT_EQ(ExtractPackageTree(U16(target), U16(stub), package.TreeOffset(), &progress, &stats), 0);
  DestroyWindow(window);
  EXPECT_EQ(stats.filesWritten, 4u);
  ASSERT_EQ(g_messages.size(), 2u);
  EXPECT_EQ(g_messages[0].second, L"a.txt");
  EXPECT_EQ(g_messages[1].first, static_cast<WPARAM>(PROGRESS_PERCENT));
  EXPECT_EQ(ReadFileBytes(target + L"\\top.txt"), package.top);
  DeleteFileW(stub.c_str());
}
