#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>
#include <string>

#include "base/utf8.h"
#include "platform/posix/native_path.h"

namespace {

class PosixInputFile final : public InputFile {
 public:
  explicit PosixInputFile(int fd) : fd_(fd) {}
  ~PosixInputFile() override { close(fd_); }

  int64_t Size() override {
    struct stat st;
    if (fstat(fd_, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
  }

  bool Seek(uint64_t offset) override {
    if (offset > static_cast<uint64_t>(INT64_MAX)) return false;
    position_ = offset;
    return true;
  }

  size_t Read(void* buffer, size_t size) override {
    size_t done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < size) {
      ssize_t n = pread(fd_, out + done, size - done, static_cast<off_t>(position_));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
      position_ += static_cast<uint64_t>(n);
    }
    return done;
  }

 private:
  int fd_;
  uint64_t position_ = 0;
};

}  // namespace

std::string ToNativePath(std::u16string_view text) { return Utf16ToUtf8(text); }

std::unique_ptr<InputFile> OpenInputFile(const char16_t* path) {
  return OpenNativeInputFile(ToNativePath(path).c_str());
}

std::unique_ptr<InputFile> OpenNativeInputFile(const char* path) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  auto* file = new (std::nothrow) PosixInputFile(fd);
  if (file == nullptr) close(fd);
  return std::unique_ptr<InputFile>(file);
}

std::unique_ptr<InputFile> OpenPackageFile(const char16_t* path) { return OpenInputFile(path); }
