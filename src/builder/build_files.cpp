#include "builder/build_files.h"

#include <cerrno>
#include <cstring>
#include <tuple>

bool IsLaterTime(const EntryTime& a, const EntryTime& b) {
  return std::tie(a.year, a.month, a.day, a.hour, a.minute, a.second, a.hundredths) >
         std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second, b.hundredths);
}

void ClampFileTimes(TreeEntry& root, const EntryTime& latest) {
  for (TreeEntry& child : root.children) {
    if (child.isDirectory) {
      ClampFileTimes(child, latest);
    } else if (IsLaterTime(child.time, latest)) {
      child.time = latest;
    }
  }
}

ScannedFile::ScannedFile(ContentSource& source, const std::string& path, uint64_t size)
    : reader_(source.Open(path)), path_(path), size_(size) {}

void ScannedFile::Read(void* buffer, size_t size) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  for (size_t got = 0; got < size;) {
    const size_t n = reader_->Read(bytes + got, size - got);
    if (n == 0) throw PackageError(path_, "the file shrank while the package was being built");
    got += n;
  }
  done_ += size;
}

void ScannedFile::ExpectEnd() {
  if (left() != 0) throw PackageError(path_, "the file shrank while the package was being built");
  uint8_t extra;
  if (reader_->Read(&extra, 1) != 0) {
    throw PackageError(path_, "the file grew while the package was being built");
  }
}

[[noreturn]] void ThrowIo(const std::string& path, const char* what) {
  throw PackageError(path, std::string(what) + ": " + std::strerror(errno));
}

void WriteOrThrow(std::FILE* file, const void* data, size_t size, const char* what) {
  if (size != 0 && std::fwrite(data, 1, size, file) != size) ThrowIo("", what);
}
