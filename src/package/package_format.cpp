#include "package/package_format.h"

#include <cstring>

namespace {

void AppendBytes(std::string& out, const void* data, size_t size) {
  out.append(static_cast<const char*>(data), size);
}

void AppendU32(std::string& out, uint32_t value) {
  uint8_t bytes[4];
  EncodeU32(bytes, value);
  AppendBytes(out, bytes, sizeof bytes);
}

void AppendEntryHead(std::string& out, uint8_t type, const char* name, size_t nameLength,
                     uint32_t flags) {
  out.push_back(static_cast<char>(type));
  AppendBytes(out, name, nameLength);
  out.push_back('\0');
  AppendU32(out, flags);
}

}  // namespace

void EncodeSectionHead(uint8_t* out, const SectionHead& head) {
  out[0] = head.flag;
  EncodeU32(out + 1, head.length);
}

SectionHead DecodeSectionHead(const uint8_t* in) { return {in[0], DecodeU32(in + 1)}; }

void EncodeEntryTime(uint8_t* out, const EntryTime& time) {
  EncodeU16(out, time.year);
  out[2] = time.month;
  out[3] = time.day;
  out[4] = time.hour;
  out[5] = time.minute;
  out[6] = time.second;
  out[7] = time.hundredths;
}

EntryTime DecodeEntryTime(const uint8_t* in) {
  EntryTime time;
  time.year = DecodeU16(in);
  time.month = in[2];
  time.day = in[3];
  time.hour = in[4];
  time.minute = in[5];
  time.second = in[6];
  time.hundredths = in[7];
  return time;
}

void AppendDirectoryEntry(std::string& out, const char* name, size_t nameLength) {
  AppendEntryHead(out, ENTRY_DIRECTORY, name, nameLength, 0);
}

void AppendFileEntry(std::string& out, const char* name, size_t nameLength, uint32_t flags,
                     const EntryTime& time, uint32_t storedSize, uint32_t offset) {
  AppendEntryHead(out, ENTRY_FILE, name, nameLength, flags);
  uint8_t fixed[FILE_ENTRY_FIXED_SIZE];
  EncodeEntryTime(fixed, time);
  EncodeU32(fixed + ENTRY_TIME_SIZE, storedSize);
  AppendBytes(out, fixed, sizeof fixed);
  if (storedSize != 0) AppendU32(out, offset);
}

void AppendEndEntry(std::string& out, uint8_t type) { out.push_back(static_cast<char>(type)); }

size_t DecodeIndexEntry(const uint8_t* data, size_t available, IndexEntry* entry) {
  if (available == 0) return 0;
  *entry = IndexEntry{};
  entry->type = data[0];
  if (entry->type == ENTRY_END || entry->type == ENTRY_DIRECTORY_END) return 1;

  size_t pos = 1;
  const void* nul = memchr(data + pos, 0, available - pos);
  if (nul == nullptr) return 0;
  entry->name = reinterpret_cast<const char*>(data + pos);
  entry->nameLength = static_cast<size_t>(static_cast<const uint8_t*>(nul) - (data + pos));
  pos += entry->nameLength + 1;

  if (available - pos < 4) return 0;
  entry->flags = DecodeU32(data + pos);
  pos += 4;
  if (entry->type != ENTRY_FILE) return pos;

  if (available - pos < FILE_ENTRY_FIXED_SIZE) return 0;
  entry->time = DecodeEntryTime(data + pos);
  entry->storedSize = DecodeU32(data + pos + ENTRY_TIME_SIZE);
  pos += FILE_ENTRY_FIXED_SIZE;
  if (entry->storedSize == 0) return pos;

  if (available - pos < 4) return 0;
  entry->offset = DecodeU32(data + pos);
  return pos + 4;
}

void EncodeSolidHeader(uint8_t* out, const SolidHeader& header) {
  EncodeU32(out, header.streamLength);
  EncodeU32(out + 4, header.blockSize);
  EncodeU32(out + 8, header.blockCount);
  out[12] = header.dictionaryProperty;
}

bool DecodeSolidHeader(const uint8_t* in, SolidHeader* header) {
  header->streamLength = DecodeU32(in);
  header->blockSize = DecodeU32(in + 4);
  header->blockCount = DecodeU32(in + 8);
  header->dictionaryProperty = in[12];
  if (header->blockSize < MIN_SOLID_BLOCK_SIZE) return false;
  const uint64_t blocks =
      (uint64_t{header->streamLength} + header->blockSize - 1) / header->blockSize;
  return blocks == header->blockCount &&
         Lzma2DictionarySize(header->dictionaryProperty) <= MAX_SOLID_DICTIONARY_SIZE;
}

void EncodeSolidBlock(uint8_t* out, const SolidBlock& block) {
  EncodeU32(out, block.storedSize);
  EncodeU32(out + 4, block.crc);
}

SolidBlock DecodeSolidBlock(const uint8_t* in) { return {DecodeU32(in), DecodeU32(in + 4)}; }
