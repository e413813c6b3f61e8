#include <cstring>

#include "platform/input_file.h"

size_t MemoryInputFile::Read(void* buffer, size_t size) {
  if (position_ >= size_) return 0;
  size_t left = size_ - static_cast<size_t>(position_);
  size_t n = size < left ? size : left;
  memcpy(buffer, data_ + position_, n);
  position_ += n;
  return n;
}
