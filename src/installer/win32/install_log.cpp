#include "installer/win32/install_log.h"

#include "base/utf8.h"
#include "platform/win32/wide_text.h"

InstallLog::~InstallLog() {
  if (IsOpen()) CloseHandle(file_);
}

bool InstallLog::Open(const std::u16string& path) {
  file_ = CreateFileW(AsWide(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  start_ = GetTickCount();
  return IsOpen();
}

void InstallLog::Note(std::u16string_view line) {
  if (!IsOpen()) return;
  std::string bytes = Utf16ToUtf8(line);
  bytes += "\r\n";
  DWORD written = 0;
  WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void InstallLog::Close(int exitCode) {
  if (!IsOpen()) return;
  const DWORD tenths = (GetTickCount() - start_) / 100;
  wchar_t line[64];
  wsprintfW(line, L"exit code %d after %lu.%lu s", exitCode, tenths / 10, tenths % 10);
  Note(reinterpret_cast<const char16_t*>(line));
  CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
}
