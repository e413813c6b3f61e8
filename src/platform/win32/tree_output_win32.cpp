// Writing an extracted tree with the Win32 file API: "<root>\<relative
// path>", as the stub has always built its paths, in the "\\?\" form past
// the plain calls' limit. The names were checked before they got here, so no
// component is "..", a device or a stream name.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "base/entry_time.h"
#include "platform/buffered_output_file.h"
#include "platform/tree_output.h"
#include "platform/win32/wide_text.h"
#include "platform/windows_path.h"

namespace {

bool EntryTimeToFileTime(const EntryTime& time, FILETIME* fileTime) {
  // SystemTimeToFileTime refuses most bad dates itself; the check also
  // catches what it would accept but no entry should hold (hundredths 100+).
  if (!IsValidEntryTime(time)) return false;
  SYSTEMTIME system = {};
  system.wYear = time.year;
  system.wMonth = time.month;
  system.wDay = time.day;
  system.wHour = time.hour;
  system.wMinute = time.minute;
  system.wSecond = time.second;
  system.wMilliseconds = static_cast<WORD>(time.hundredths * 10);
  return SystemTimeToFileTime(&system, fileTime) != 0;
}

class Win32OutputFile final : public BufferedOutputFile {
 public:
  // Fewer, larger WriteFile calls: the inflater hands over 4 KB at a time.
  static constexpr DWORD kBufferSize = 64 * 1024;

  explicit Win32OutputFile(HANDLE handle) : BufferedOutputFile(kBufferSize), handle_(handle) {}
  ~Win32OutputFile() override { Close(); }

 private:
  int64_t WriteSome(const void* data, size_t size) override {
    const DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD done = 0;
    if (!WriteFile(handle_, data, want, &done, nullptr)) return -1;
    return done;
  }

  bool CloseRaw() override { return CloseHandle(handle_) != 0; }

  // Through the open handle: a second open per file costs as much as the
  // file's own creation. A time set on a handle is not changed by its close.
  bool SetTimeRaw(const EntryTime& time) override {
    FILETIME fileTime;
    if (!EntryTimeToFileTime(time, &fileTime)) return false;
    return SetFileTime(handle_, &fileTime, &fileTime, &fileTime) != 0;
  }

  HANDLE handle_;
};

class Win32TreeOutput final : public TreeOutput {
 public:
  explicit Win32TreeOutput(const char16_t* root) : root_(root) {}

  DirectoryOutcome MakeDirectory(std::u16string_view relativePath) override {
    const std::u16string path = Join(relativePath);
    if (CreateDirectoryW(AsWide(path.c_str()), nullptr)) return DirectoryOutcome::kMade;
    if (relativePath.empty()) return DirectoryOutcome::kFailed;
    // The attributes of the name itself: a link or junction is not followed.
    const DWORD attributes = GetFileAttributesW(AsWide(path.c_str()));
    if (attributes == INVALID_FILE_ATTRIBUTES) return DirectoryOutcome::kFailed;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return DirectoryOutcome::kLink;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? DirectoryOutcome::kExisting
                                                        : DirectoryOutcome::kFailed;
  }

  std::unique_ptr<OutputFile> CreateOutput(std::u16string_view relativePath) override {
    HANDLE handle = CreateFileW(AsWide(Join(relativePath).c_str()), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    auto* file = new (std::nothrow) Win32OutputFile(handle);
    if (file == nullptr) CloseHandle(handle);
    return std::unique_ptr<OutputFile>(file);
  }

  bool SetEntryTime(std::u16string_view relativePath, const EntryTime& time) override {
    return SetFileTimeFromEntry(time, Join(relativePath).c_str());
  }

 private:
  // In the form the file calls take at any length.
  std::u16string Join(std::u16string_view relativePath) const {
    std::u16string path = root_;
    if (!relativePath.empty()) {
      path.push_back(u'\\');
      path.append(relativePath);
    }
    return LongPathForm(path);
  }

  std::u16string root_;
};

}  // namespace

std::unique_ptr<TreeOutput> OpenTreeOutput(const char16_t* root) {
  return std::unique_ptr<TreeOutput>(new (std::nothrow) Win32TreeOutput(root));
}

bool SetFileTimeFromEntry(const EntryTime& time, const char16_t* path) {
  FILETIME fileTime;
  if (!EntryTimeToFileTime(time, &fileTime)) return false;
  HANDLE handle = CreateFileW(AsWide(LongPathForm(path).c_str()), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const BOOL set = SetFileTime(handle, &fileTime, &fileTime, &fileTime);
  CloseHandle(handle);
  return set != 0;
}
