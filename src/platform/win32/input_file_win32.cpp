#include <windows.h>

#include <new>

#include "platform/input_file.h"
#include "platform/win32/wide_text.h"

namespace {

class Win32InputFile final : public InputFile {
 public:
  explicit Win32InputFile(HANDLE handle) : handle_(handle) {}
  ~Win32InputFile() override { CloseHandle(handle_); }

  int64_t Size() override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_, &size)) return -1;
    return size.QuadPart;
  }

  bool Seek(uint64_t offset) override {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN) != 0;
  }

  size_t Read(void* buffer, size_t size) override {
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < size) {
      DWORD want = size - done > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size - done);
      DWORD got = 0;
      if (!ReadFile(handle_, out + done, want, &got, nullptr) || got == 0) break;
      done += got;
    }
    return done;
  }

 private:
  HANDLE handle_;
};

}  // namespace

namespace {

std::unique_ptr<InputFile> Open(const char16_t* path, DWORD sharing) {
  HANDLE handle = CreateFileW(AsWide(path), GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  auto* file = new (std::nothrow) Win32InputFile(handle);
  if (file == nullptr) CloseHandle(handle);
  return std::unique_ptr<InputFile>(file);
}

}  // namespace

std::unique_ptr<InputFile> OpenInputFile(const char16_t* path) {
  // Others may read the file while we do (a second start of the same setup).
  return Open(path, FILE_SHARE_READ | FILE_SHARE_DELETE);
}

std::unique_ptr<InputFile> OpenPackageFile(const char16_t* path) {
  // Readers only: a writer, and a rename or delete (which need the delete
  // access this does not share), fail while the handle is open.
  return Open(path, FILE_SHARE_READ);
}
