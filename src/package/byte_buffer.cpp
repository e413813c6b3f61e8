#include "package/byte_buffer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

ByteBuffer::~ByteBuffer() { free(data); }

bool ByteBuffer::Reserve(int32_t n) {
  length = 0;
  if (n <= 0) {
    capacity = 0;
    free(data);
    data = nullptr;
    return true;
  }
  if (capacity >= n) return true;
  free(data);
  data = nullptr;
  // Grow by whole steps from the current capacity; 64-bit so that a step
  // near the top of the range cannot wrap.
  int64_t grown = capacity;
  int64_t step = growthStep_ > 0 ? growthStep_ : 1;
  while (grown < n) grown += step;
  if (grown > INT32_MAX) grown = n;
  data = static_cast<uint8_t*>(malloc(static_cast<size_t>(grown)));
  if (data == nullptr) {
    capacity = 0;
    return false;
  }
  capacity = static_cast<int32_t>(grown);
  return true;
}

bool ByteBuffer::EnsureRoom(int32_t n) {
  int64_t needed = static_cast<int64_t>(length) + (n > 0 ? n : 0);
  if (capacity >= needed) return true;
  if (needed > INT32_MAX) return false;
  int64_t grown = capacity > 0 ? capacity : (growthStep_ > 0 ? growthStep_ : 1);
  while (grown < needed) grown *= 2;
  // Doubling may pass the 32-bit range although `needed` fits.
  if (grown > INT32_MAX) grown = INT32_MAX;
  auto* block = static_cast<uint8_t*>(malloc(static_cast<size_t>(grown)));
  if (block == nullptr) return false;
  if (data != nullptr) {
    if (length != 0) memcpy(block, data, static_cast<size_t>(length));
    free(data);
  }
  data = block;
  capacity = static_cast<int32_t>(grown);
  return true;
}

uint8_t* ByteBuffer::Release() {
  uint8_t* block = data;
  data = nullptr;
  capacity = 0;
  length = 0;
  return block;
}
