#include "app/instance_name.h"

#include <cstdint>

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
