#include "platform/buffered_output_file.h"

#include <cstdlib>
#include <cstring>
#include <utility>

BufferedOutputFile::BufferedOutputFile(size_t bufferSize)
    : buffer_(static_cast<char*>(malloc(bufferSize))), capacity_(bufferSize) {}

BufferedOutputFile::~BufferedOutputFile() { free(buffer_); }

bool BufferedOutputFile::Write(const void* data, size_t size) {
  if (closed_ || !ok_) return false;
  if (buffer_ == nullptr || size >= capacity_) return Flush() && WriteAll(data, size);
  if (used_ + size > capacity_ && !Flush()) return false;
  memcpy(buffer_ + used_, data, size);
  used_ += size;
  return true;
}

bool BufferedOutputFile::Close() {
  if (closed_) return ok_;
  Flush();
  if (!CloseRaw()) ok_ = false;
  closed_ = true;
  if (!ok_) {
    DiscardRaw();
  } else if (!CommitRaw()) {
    ok_ = false;
  }
  return ok_;
}

void BufferedOutputFile::Discard() {
  if (closed_) return;
  CloseRaw();
  closed_ = true;
  ok_ = false;
  DiscardRaw();
}

bool BufferedOutputFile::SetTime(const EntryTime& time) {
  if (closed_ || !Flush()) return false;
  return SetTimeRaw(time);
}

bool BufferedOutputFile::Flush() {
  const size_t used = std::exchange(used_, 0);
  return used == 0 || WriteAll(buffer_, used);
}

bool BufferedOutputFile::WriteAll(const void* data, size_t size) {
  const char* at = static_cast<const char*>(data);
  while (size != 0 && ok_) {
    const int64_t done = WriteSome(at, size);
    if (done <= 0) {
      ok_ = false;
      break;
    }
    at += done;
    size -= static_cast<size_t>(done);
  }
  return ok_;
}
