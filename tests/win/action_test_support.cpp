#include "action_test_support.h"

std::string ReadWholeFile(const std::wstring& path) {
  std::string bytes;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0) bytes.append(chunk, got);
  CloseHandle(file);
  return bytes;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  return CloseHandle(file) && ok;
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

void ActionTest::SetUp() {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::wstring leaf = L"actions-";
  for (const char* c = test->name(); *c != '\0'; ++c) leaf += static_cast<wchar_t>(*c);
  target_ = std::wstring(base) + leaf;
  RemoveTree(target_);
  ASSERT_TRUE(CreateDirectoryW(target_.c_str(), nullptr));
  ASSERT_TRUE(SetCurrentDirectoryW(target_.c_str()));
}

void ActionTest::TearDown() {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  SetCurrentDirectoryW(base);
  RemoveTree(target_);
}

ScriptActionContext ActionTest::Context(const std::string& script, const char* localeName) {
  script_.assign(script.begin(), script.end());
  ScriptActionContext context;
  context.script = ScriptText{script_.data(), script_.size()};
  context.localeName.text = localeName;
  context.targetDir = U16(target_);
  return context;
}
