// Reading the solid data area of a package (package_format.h): the files'
// contents as one stream of independently compressed LZMA2 blocks.
//
// The stream is read forward, so that installing a tree decodes every block
// once; a position behind the current one, or in a later block, starts that
// block afresh. A block's stored bytes are checked against their CRC-32
// before any of them is decoded: a damaged block yields no bytes at all
// rather than wrong ones. Memory: the dictionary (at most the smaller of
// MAX_SOLID_DICTIONARY_SIZE and the block size; made at the first block
// not decoded ahead), one input chunk and the decoder's tables.
#pragma once

#include <Lzma2Dec.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "package/package_format.h"
#include "platform/input_file.h"
#include "platform/tree_output.h"

// The values are those of CopyResult (entry_copy.h) for the same outcomes.
enum SolidResult : int {
  SOLID_OK = 0,
  SOLID_CUT_SHORT = 5,     // the stream or the file ends before the bytes asked for
  SOLID_DAMAGED = 6,       // a block fails its CRC or does not decode
  SOLID_WRITE_FAILED = 7,  // the output refused bytes
};

class DecodeAhead;

// Decodes the whole block whose `block` record's stored bytes start at
// `from` into `out`, which holds its `size` stream bytes, after checking the
// CRC-32; `property` is the dictionary's. *produced says how many bytes came
// out, also when the block failed midway (those bytes are right).
SolidResult DecodeWholeBlock(InputFile& file, uint64_t from, const SolidBlock& block,
                             uint8_t property, uint8_t* out, size_t size, size_t* produced);

class SolidStream {
 public:
  static constexpr size_t kInputChunk = 256 * 1024;

  SolidStream() = default;
  ~SolidStream();
  SolidStream(const SolidStream&) = delete;
  SolidStream& operator=(const SolidStream&) = delete;

  // Reads the head and block records of the area at `dataBase` and sets up
  // the decoder. False when they are malformed or cut short, or memory runs
  // out; the stream is then unusable and every Copy fails.
  bool Open(InputFile& file, uint64_t dataBase);

  // Writes the `size` stream bytes from `offset` on to `out`.
  SolidResult Copy(uint32_t offset, uint32_t size, OutputFile& out);

  // Blocks come from `ahead` (keyed by their number) where it has them;
  // the stream decodes the others itself, reading through `file`.
  void UseAhead(DecodeAhead* ahead, InputFile& file) {
    ahead_ = ahead;
    file_ = &file;
  }
  // The dictionary property the blocks decode with.
  uint8_t DictionaryProperty() const;

  const SolidHeader& header() const { return header_; }
  const std::vector<SolidBlock>& blocks() const { return blocks_; }
  const std::vector<uint64_t>& starts() const { return starts_; }

 private:
  static constexpr uint32_t kNoBlock = UINT32_MAX;

  SolidResult StartBlock(uint32_t block);
  // The block from the decoder ahead; SOLID_OK with `taken` false when it
  // has not got it.
  SolidResult TakeBlock(uint32_t block, bool* taken);
  SolidResult DecodeTaken(uint64_t want, const uint8_t** bytes, size_t* produced);
  // Decodes up to `want` (> 0) bytes at the position; `bytes` points into
  // the dictionary and stays valid until the next call.
  SolidResult Decode(uint64_t want, const uint8_t** bytes, size_t* produced);

  InputFile* file_ = nullptr;
  SolidHeader header_;
  std::vector<SolidBlock> blocks_;
  std::vector<uint64_t> starts_;  // file offset of each block
  CLzma2Dec decoder_{};
  bool opened_ = false;
  bool decoderReady_ = false;
  DecodeAhead* ahead_ = nullptr;
  // The current block as decoded ahead: its bytes, and how it ended.
  const uint8_t* taken_ = nullptr;
  size_t takenLength_ = 0;
  int takenResult_ = SOLID_OK;
  uint8_t* input_ = nullptr;
  size_t inputPosition_ = 0;
  size_t inputLength_ = 0;
  uint64_t storedLeft_ = 0;  // the current block's stored bytes not yet read
  uint32_t block_ = kNoBlock;
  uint32_t damagedBlock_ = kNoBlock;
  uint64_t position_ = 0;  // stream offset of the next byte decoded
  uint64_t blockEnd_ = 0;
};
