// An output file written through a buffer of its own: fewer, larger writes
// than the inflater's 4 KB pieces. The OS twins supply only the raw
// operations on their handle or descriptor.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/tree_output.h"

class BufferedOutputFile : public OutputFile {
 public:
  BufferedOutputFile(const BufferedOutputFile&) = delete;
  BufferedOutputFile& operator=(const BufferedOutputFile&) = delete;

  bool Write(const void* data, size_t size) final;
  bool Close() final;
  void Discard() final;
  bool SetTime(const EntryTime& time) final;

 protected:
  // Without memory for the buffer every write goes straight through.
  explicit BufferedOutputFile(size_t bufferSize);
  // Derived destructors call Discard() themselves: the raw operations are
  // theirs and are gone by the time this one runs.
  ~BufferedOutputFile() override;

  // Writes up to `size` bytes; returns how many, or 0 or less on failure.
  virtual int64_t WriteSome(const void* data, size_t size) = 0;
  // Closes the handle; false when that failed.
  virtual bool CloseRaw() = 0;
  // Gives the open file all its times; false when that failed.
  virtual bool SetTimeRaw(const EntryTime& time) = 0;
  // After CloseRaw: puts the whole file in place (false when that failed,
  // and the file is then gone), or removes it.
  virtual bool CommitRaw() = 0;
  virtual void DiscardRaw() = 0;

 private:
  bool Flush();
  bool WriteAll(const void* data, size_t size);

  char* buffer_;
  size_t capacity_;
  size_t used_ = 0;
  bool ok_ = true;
  bool closed_ = false;
};
