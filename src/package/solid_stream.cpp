#include "package/solid_stream.h"

#include <zlib.h>

#include <cstdlib>

#include "base/byte_order.h"

namespace {

void* Allocate(ISzAllocPtr, size_t size) { return malloc(size); }
void Release(ISzAllocPtr, void* address) { free(address); }
const ISzAlloc kAllocator = {Allocate, Release};

uint64_t Smaller(uint64_t a, uint64_t b) { return a < b ? a : b; }

bool ReadExactly(InputFile& file, void* buffer, size_t size) {
  return file.Read(buffer, size) == size;
}

}  // namespace

SolidStream::~SolidStream() {
  if (decoderReady_) Lzma2Dec_Free(&decoder_, &kAllocator);
  free(input_);
}

bool SolidStream::Open(InputFile& file, uint64_t dataBase) {
  file_ = &file;
  uint8_t head[SOLID_HEADER_SIZE];
  if (!file.Seek(dataBase) || !ReadExactly(file, head, sizeof head) ||
      !DecodeSolidHeader(head, &header_)) {
    return false;
  }
  // Records in one read; the head's checks bound their count.
  const size_t recordBytes = size_t{header_.blockCount} * SOLID_BLOCK_RECORD_SIZE;
  input_ = static_cast<uint8_t*>(malloc(recordBytes > kInputChunk ? recordBytes : kInputChunk));
  if (input_ == nullptr || !ReadExactly(file, input_, recordBytes)) return false;
  blocks_.resize(header_.blockCount);
  starts_.resize(header_.blockCount);
  uint64_t start = dataBase + SOLID_HEADER_SIZE + recordBytes;
  for (uint32_t i = 0; i < header_.blockCount; ++i) {
    blocks_[i] = DecodeSolidBlock(input_ + size_t{i} * SOLID_BLOCK_RECORD_SIZE);
    starts_[i] = start;
    start += blocks_[i].storedSize;
  }
  // A block refers back no further than its own start, so a dictionary
  // larger than a block would only waste memory.
  uint8_t property = Lzma2DictionaryProperty(header_.blockSize);
  if (header_.dictionaryProperty < property) property = header_.dictionaryProperty;
  decoderReady_ = Lzma2Dec_Allocate(&decoder_, property, &kAllocator) == SZ_OK;
  return decoderReady_;
}

SolidResult SolidStream::StartBlock(uint32_t block) {
  block_ = kNoBlock;
  if (block == damagedBlock_) return SOLID_DAMAGED;
  const uint32_t stored = blocks_[block].storedSize;
  if (!file_->Seek(starts_[block])) return SOLID_CUT_SHORT;
  uLong crc = crc32(0, nullptr, 0);
  for (uint32_t left = stored; left != 0;) {
    const size_t want = static_cast<size_t>(Smaller(left, kInputChunk));
    if (!ReadExactly(*file_, input_, want)) return SOLID_CUT_SHORT;
    crc = crc32(crc, input_, static_cast<uInt>(want));
    left -= static_cast<uint32_t>(want);
  }
  if (crc != blocks_[block].crc) {
    damagedBlock_ = block;
    return SOLID_DAMAGED;
  }
  if (!file_->Seek(starts_[block])) return SOLID_CUT_SHORT;
  Lzma2Dec_Init(&decoder_);
  decoder_.decoder.dicPos = 0;
  inputPosition_ = inputLength_ = 0;
  storedLeft_ = stored;
  block_ = block;
  position_ = uint64_t{block} * header_.blockSize;
  blockEnd_ = Smaller(position_ + header_.blockSize, header_.streamLength);
  return SOLID_OK;
}

SolidResult SolidStream::Decode(uint64_t want, const uint8_t** bytes, size_t* produced) {
  *produced = 0;
  if (position_ == blockEnd_) {
    if (block_ + 1 >= header_.blockCount) return SOLID_CUT_SHORT;
    if (const SolidResult started = StartBlock(block_ + 1); started != SOLID_OK) return started;
  }
  CLzmaDec& lzma = decoder_.decoder;
  for (;;) {
    if (lzma.dicPos == lzma.dicBufSize) lzma.dicPos = 0;
    const SizeT start = lzma.dicPos;
    const uint64_t room = Smaller(Smaller(want, blockEnd_ - position_), lzma.dicBufSize - start);
    if (inputPosition_ == inputLength_ && storedLeft_ != 0) {
      const size_t chunk = static_cast<size_t>(Smaller(storedLeft_, kInputChunk));
      if (!ReadExactly(*file_, input_, chunk)) return SOLID_CUT_SHORT;
      storedLeft_ -= chunk;
      inputPosition_ = 0;
      inputLength_ = chunk;
    }
    SizeT consumed = inputLength_ - inputPosition_;
    ELzmaStatus status;
    const SRes result =
        Lzma2Dec_DecodeToDic(&decoder_, start + static_cast<SizeT>(room), input_ + inputPosition_,
                             &consumed, LZMA_FINISH_ANY, &status);
    inputPosition_ += consumed;
    const size_t out = lzma.dicPos - start;
    // No progress at all: the block ended early or its data ran out.
    if (result != SZ_OK || (out == 0 && consumed == 0)) {
      block_ = kNoBlock;
      return SOLID_DAMAGED;
    }
    if (out != 0) {
      *bytes = lzma.dic + start;
      *produced = out;
      position_ += out;
      return SOLID_OK;
    }
  }
}

SolidResult SolidStream::Copy(uint32_t offset, uint32_t size, OutputFile& out) {
  if (size == 0) return SOLID_OK;
  if (!decoderReady_ || uint64_t{offset} + size > header_.streamLength) return SOLID_CUT_SHORT;
  const uint32_t target = offset / header_.blockSize;
  if (block_ != target || offset < position_) {
    if (const SolidResult started = StartBlock(target); started != SOLID_OK) return started;
  }
  const uint8_t* bytes = nullptr;
  size_t produced = 0;
  // Bytes before the offset (a skipped entry's, or another block's part) are
  // decoded and dropped.
  while (position_ < offset) {
    if (const SolidResult r = Decode(offset - position_, &bytes, &produced); r != SOLID_OK) {
      return r;
    }
  }
  for (uint32_t left = size; left != 0; left -= static_cast<uint32_t>(produced)) {
    if (const SolidResult r = Decode(left, &bytes, &produced); r != SOLID_OK) return r;
    if (!out.Write(bytes, produced)) return SOLID_WRITE_FAILED;
  }
  return SOLID_OK;
}
