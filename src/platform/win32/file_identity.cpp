#include "platform/win32/file_identity.h"

#include "platform/win32/wide_text.h"

namespace {

// The path of the file on its volume, without the drive: "\dir\name".
std::u16string NameOnVolume(HANDLE handle) {
  // FILE_NAME_INFO followed by room for the longest name.
  constexpr DWORD kBytes = sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t);
  auto* info = static_cast<FILE_NAME_INFO*>(HeapAlloc(GetProcessHeap(), 0, kBytes));
  if (info == nullptr) return {};
  std::u16string name;
  if (GetFileInformationByHandleEx(handle, FileNameInfo, info, kBytes)) {
    name.assign(reinterpret_cast<const char16_t*>(info->FileName),
                info->FileNameLength / sizeof(wchar_t));
  }
  HeapFree(GetProcessHeap(), 0, info);
  return name;
}

bool SameIgnoringCase(const std::u16string& a, const std::u16string& b) {
  return !a.empty() && CompareStringOrdinal(AsWide(a), static_cast<int>(a.size()), AsWide(b),
                                            static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool IsLinkByPath(const std::u16string& path) {
  // Wine shows a folder link only by its path's attributes, not its handle's.
  const DWORD attributes = GetFileAttributesW(AsWide(path));
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

KernelHandle OpenFolder(const std::u16string& path, bool pinned) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | (pinned ? 0 : FILE_SHARE_DELETE);
  const HANDLE opened =
      CreateFileW(AsWide(path), FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  KernelHandle folder(opened != INVALID_HANDLE_VALUE ? opened : nullptr);
  BY_HANDLE_FILE_INFORMATION info;
  if (!folder || !GetFileInformationByHandle(folder.Get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) !=
          FILE_ATTRIBUTE_DIRECTORY ||
      IsLinkByPath(path)) {
    return KernelHandle();
  }
  return folder;
}

bool IsPlainFileHandle(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(file, &info) && info.nNumberOfLinks == 1 &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

bool IsNamedChild(HANDLE folder, HANDLE file, std::u16string_view name) {
  std::u16string expected = NameOnVolume(folder);
  if (expected.empty()) return false;
  if (expected.back() != u'\\') expected += u'\\';
  expected.append(name);
  return SameIgnoringCase(NameOnVolume(file), expected);
}

bool RemovePlainFile(HANDLE folder, const std::u16string& path, std::u16string_view name) {
  const HANDLE opened = CreateFileW(AsWide(path), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  const KernelHandle file(opened);
  FILE_DISPOSITION_INFO dispose = {TRUE};
  return IsPlainFileHandle(file.Get()) && IsNamedChild(folder, file.Get(), name) &&
         SetFileInformationByHandle(file.Get(), FileDispositionInfo, &dispose, sizeof(dispose));
}
