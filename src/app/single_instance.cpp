#include "app/single_instance.h"

#include <cstring>

#include "base/utf8.h"

std::u16string InstanceName(std::u16string_view modulePath) {
  std::string key = WideToUtf8(modulePath);
  // XOR-folding keeps every byte of a long path in the key, so paths that
  // differ only near their end (setup1.exe, setup2.exe) still differ.
  for (size_t i = kInstanceKeyBytes; i < key.size(); ++i) key[i % kInstanceKeyBytes] ^= key[i];
  if (key.size() > kInstanceKeyBytes) key.resize(kInstanceKeyBytes);

  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  std::u16string name = u"Global_";
  for (char byte : key) {
    auto value = static_cast<uint8_t>(byte);
    name += kDigits[value >> 4];
    name += kDigits[value & 0x0F];
  }
  return name;
}

std::u16string InstanceBlockName(std::u16string_view instanceName) {
  std::u16string name(instanceName);
  name += u"_MEM";
  return name;
}

size_t FitChannelText(const char* text) {
  size_t length = strnlen(text, kMaxChannelTextBytes + 1);
  if (length <= kMaxChannelTextBytes) return length;
  length = kMaxChannelTextBytes;
  // Step back over continuation bytes to the lead byte of the sequence that
  // the limit cuts, and cut before it. A sequence has at most five of them;
  // a longer run is ill-formed anyway and is cut at the limit.
  auto isContinuation = [](char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; };
  constexpr size_t kMaxContinuationBytes = 5;
  for (size_t lead = length; lead + kMaxContinuationBytes >= length && lead > 0; --lead) {
    if (!isContinuation(text[lead])) return lead;
  }
  return length;
}

bool PutChannelText(ChannelBlock* block, const char* text) {
  if (block->length != 0) return false;
  size_t length = FitChannelText(text);
  // The length goes in first: the receiver only looks once the message that
  // follows both writes arrives.
  block->length = static_cast<uint32_t>(length + 1);
  memcpy(block->text, text, length);
  block->text[length] = '\0';
  return true;
}

const char* TakeChannelText(ChannelBlock* block) {
  uint32_t length = block->length;  // read once: another process may write it
  if (length == 0) return nullptr;
  if (length > kChannelTextBytes - 1) length = kChannelTextBytes - 1;
  block->text[length] = '\0';
  return block->text;
}
