// A growable byte buffer that owns its heap block.
#pragma once

#include <cstdint>

class ByteBuffer {
 public:
  explicit ByteBuffer(int32_t growthStep) : growthStep_(growthStep) {}
  ~ByteBuffer();
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;

  // Empties the buffer and makes it able to hold at least n bytes; the old
  // contents are discarded. n == 0 frees the block. Returns false, leaving the
  // buffer empty with no block, when the memory cannot be had.
  bool Reserve(int32_t n);
  // Makes room for n more bytes behind the current length, keeping the
  // contents. Returns false, leaving the buffer unchanged, when the memory
  // cannot be had or the size would pass the 32-bit signed range.
  bool EnsureRoom(int32_t n);

  // Hands the block to the caller, who frees it with free(); the buffer is
  // left empty.
  uint8_t* Release();

  uint8_t* data = nullptr;
  int32_t capacity = 0;
  int32_t length = 0;

 private:
  int32_t growthStep_;
};
