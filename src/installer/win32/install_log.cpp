#include "installer/win32/install_log.h"

#include <vector>

#include "base/utf8.h"
#include "platform/win32/file_identity.h"
#include "platform/win32/wide_text.h"
#include "platform/windows_path.h"

namespace {

bool IsLinkAt(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(AsWide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

InstallLog::~InstallLog() {
  if (IsOpen()) CloseHandle(file_);
}

// Another user may have planted a link where the log goes: each folder of
// the path, the root first, is opened without following a link and held
// unrenamable until the file itself is open and shown to be the one named.
InstallLog::Opened InstallLog::Open(const std::u16string& path) {
  start_ = GetTickCount();
  const DWORD units = GetFullPathNameW(AsWide(path), 0, nullptr, nullptr);
  if (units == 0) return Opened::kNo;
  std::u16string whole(units, u'\0');
  const DWORD length =
      GetFullPathNameW(AsWide(path), units, reinterpret_cast<wchar_t*>(whole.data()), nullptr);
  if (length == 0 || length >= units) return Opened::kNo;
  whole.resize(length);
  const size_t root = PathRootLength(whole);
  const size_t slash = whole.rfind(u'\\');
  if (root == 0 || slash == std::u16string::npos || slash + 1 >= whole.size()) return Opened::kNo;
  std::vector<KernelHandle> folders;
  for (size_t end = root;;) {
    const std::u16string folder = LongPathForm(whole.substr(0, end));
    folders.push_back(OpenFolder(folder, true));
    if (!folders.back()) return IsLinkAt(folder) ? Opened::kLink : Opened::kNo;
    if (end >= slash) break;
    end = whole.find(u'\\', end + 1);
  }
  const std::u16string name = whole.substr(slash + 1);
  const HANDLE opened =
      CreateFileW(AsWide(LongPathForm(whole)), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return Opened::kNo;
  const bool made = GetLastError() != ERROR_ALREADY_EXISTS;
  if (!IsPlainFileHandle(opened) || !IsNamedChild(folders.back().Get(), opened, name)) {
    // Made through a link that Wine hides: not left where it landed.
    FILE_DISPOSITION_INFO dispose = {TRUE};
    if (made) SetFileInformationByHandle(opened, FileDispositionInfo, &dispose, sizeof(dispose));
    CloseHandle(opened);
    return Opened::kLink;
  }
  SetEndOfFile(opened);
  file_ = opened;
  return Opened::kYes;
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
