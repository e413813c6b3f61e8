#include "package/solid_stream.h"

#include <zlib.h>

#include <cstdlib>

#include "base/byte_order.h"
#include "package/decode_ahead.h"

namespace {

void* Allocate(ISzAllocPtr, size_t size) { return malloc(size); }
void Release(ISzAllocPtr, void* address) { free(address); }
const ISzAlloc kAllocator = {Allocate, Release};

uint64_t Smaller(uint64_t a, uint64_t b) { return a < b ? a : b; }

bool ReadExactly(InputFile& file, void* buffer, size_t size) {
  return file.Read(buffer, size) == size;
}

// Reads the block's stored bytes through `chunk` (kInputChunk bytes) and
// checks them against its CRC-32.
SolidResult CheckBlock(InputFile& file, uint64_t from, const SolidBlock& block, uint8_t* chunk) {
  if (!file.Seek(from)) return SOLID_CUT_SHORT;
  uLong crc = crc32(0, nullptr, 0);
  for (uint32_t left = block.storedSize; left != 0;) {
    const size_t want = static_cast<size_t>(Smaller(left, SolidStream::kInputChunk));
    if (!ReadExactly(file, chunk, want)) return SOLID_CUT_SHORT;
    crc = crc32(crc, chunk, static_cast<uInt>(want));
    left -= static_cast<uint32_t>(want);
  }
  return crc == block.crc ? SOLID_OK : SOLID_DAMAGED;
}

}  // namespace

SolidResult DecodeWholeBlock(InputFile& file, uint64_t from, const SolidBlock& block,
                             uint8_t property, uint8_t* out, size_t size, size_t* produced) {
  *produced = 0;
  uint8_t* stored = static_cast<uint8_t*>(malloc(block.storedSize == 0 ? 1 : block.storedSize));
  if (stored == nullptr) return SOLID_CUT_SHORT;
  SolidResult result = SOLID_CUT_SHORT;
  if (file.Seek(from) && ReadExactly(file, stored, block.storedSize)) {
    result = SOLID_DAMAGED;
    if (crc32(crc32(0, nullptr, 0), stored, block.storedSize) == block.crc) {
      SizeT decoded = size;
      SizeT consumed = block.storedSize;
      ELzmaStatus status;
      const SRes decodedWell = Lzma2Decode(out, &decoded, stored, &consumed, property,
                                           LZMA_FINISH_ANY, &status, &kAllocator);
      *produced = decoded;
      if (decodedWell == SZ_OK && decoded == size) result = SOLID_OK;
    }
  }
  free(stored);
  return result;
}

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
  opened_ = true;
  return true;
}

uint8_t SolidStream::DictionaryProperty() const {
  // A block refers back no further than its own start, so a dictionary
  // larger than a block would only waste memory.
  const uint8_t property = Lzma2DictionaryProperty(header_.blockSize);
  return header_.dictionaryProperty < property ? header_.dictionaryProperty : property;
}

SolidResult SolidStream::TakeBlock(uint32_t block, bool* taken) {
  const AheadJob* job = ahead_->Take(block);
  *taken = job != nullptr && job->result >= 0;
  if (!*taken) return SOLID_OK;
  taken_ = job->bytes;
  takenLength_ = job->length;
  takenResult_ = job->result;
  // Nothing of the block came out: as the CRC's refusal below.
  if (job->result == SOLID_DAMAGED && job->length == 0) damagedBlock_ = block;
  return job->result != SOLID_OK && job->length == 0 ? static_cast<SolidResult>(job->result)
                                                     : SOLID_OK;
}

SolidResult SolidStream::StartBlock(uint32_t block) {
  block_ = kNoBlock;
  taken_ = nullptr;
  if (block == damagedBlock_) return SOLID_DAMAGED;
  bool taken = false;
  if (ahead_ != nullptr) {
    if (const SolidResult result = TakeBlock(block, &taken); result != SOLID_OK) return result;
  }
  if (!taken) {
    if (!decoderReady_) {
      decoderReady_ = Lzma2Dec_Allocate(&decoder_, DictionaryProperty(), &kAllocator) == SZ_OK;
      if (!decoderReady_) return SOLID_CUT_SHORT;
    }
    if (const SolidResult checked = CheckBlock(*file_, starts_[block], blocks_[block], input_);
        checked != SOLID_OK) {
      if (checked == SOLID_DAMAGED) damagedBlock_ = block;
      return checked;
    }
  }
  if (!taken) {
    if (!file_->Seek(starts_[block])) return SOLID_CUT_SHORT;
    Lzma2Dec_Init(&decoder_);
    decoder_.decoder.dicPos = 0;
    inputPosition_ = inputLength_ = 0;
    storedLeft_ = blocks_[block].storedSize;
  }
  block_ = block;
  position_ = uint64_t{block} * header_.blockSize;
  blockEnd_ = Smaller(position_ + header_.blockSize, header_.streamLength);
  return SOLID_OK;
}

SolidResult SolidStream::DecodeTaken(uint64_t want, const uint8_t** bytes, size_t* produced) {
  const uint64_t at = position_ - uint64_t{block_} * header_.blockSize;
  if (at >= takenLength_) {
    block_ = kNoBlock;
    return static_cast<SolidResult>(takenResult_);
  }
  *bytes = taken_ + at;
  *produced = static_cast<size_t>(Smaller(Smaller(want, takenLength_ - at), blockEnd_ - position_));
  position_ += *produced;
  return SOLID_OK;
}

SolidResult SolidStream::Decode(uint64_t want, const uint8_t** bytes, size_t* produced) {
  *produced = 0;
  if (position_ == blockEnd_) {
    if (block_ + 1 >= header_.blockCount) return SOLID_CUT_SHORT;
    if (const SolidResult started = StartBlock(block_ + 1); started != SOLID_OK) return started;
  }
  if (taken_ != nullptr) return DecodeTaken(want, bytes, produced);
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
  if (!opened_ || uint64_t{offset} + size > header_.streamLength) return SOLID_CUT_SHORT;
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
