// The one seam between the package reader and the operating system: a file
// opened for random-access binary reading. Twin implementations for POSIX and
// Win32 live in platform/posix and platform/win32; MemoryInputFile serves
// tests and fuzzing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class InputFile {
 public:
  virtual ~InputFile() = default;
  // The file's length in bytes, or -1 when it cannot be told.
  virtual int64_t Size() = 0;
  // Moves the read position; false when that fails.
  virtual bool Seek(uint64_t offset) = 0;
  // Reads up to `size` bytes at the position and advances it. Returns the
  // number read: 0 at the end of the file or on a read error.
  virtual size_t Read(void* buffer, size_t size) = 0;
};

// Opens `path` (UTF-16, NUL-terminated). Null when it cannot be opened or the
// memory for the object cannot be had.
std::unique_ptr<InputFile> OpenInputFile(const char16_t* path);

// Opens `path` as OpenInputFile does, and so that, while it is open, nobody
// can write to the file, rename it or delete it (on Windows; on POSIX the
// open file is the same file whatever happens to its name). What was
// verified through it is then what is read through it later.
std::unique_ptr<InputFile> OpenPackageFile(const char16_t* path);

// A read-only view of bytes the caller keeps alive.
class MemoryInputFile final : public InputFile {
 public:
  MemoryInputFile(const void* data, size_t size)
      : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  int64_t Size() override { return static_cast<int64_t>(size_); }
  bool Seek(uint64_t offset) override {
    position_ = offset;
    return true;
  }
  size_t Read(void* buffer, size_t size) override;

 private:
  const uint8_t* data_;
  size_t size_;
  uint64_t position_ = 0;
};
