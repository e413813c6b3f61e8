// Little-endian fields appended to a growing buffer, for the parts of a PE
// image the builder writes (resource section, version resource).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/byte_order.h"

inline void PutU16(std::string& out, uint16_t value) {
  uint8_t bytes[2];
  EncodeU16(bytes, value);
  out.append(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

inline void PutU32(std::string& out, uint32_t value) {
  uint8_t bytes[4];
  EncodeU32(bytes, value);
  out.append(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// Overwrites the field at `at`, which the buffer already holds.
inline void PatchU32(std::string& out, size_t at, uint32_t value) {
  EncodeU32(reinterpret_cast<uint8_t*>(out.data() + at), value);
}
inline void PatchU16(std::string& out, size_t at, uint16_t value) {
  EncodeU16(reinterpret_cast<uint8_t*>(out.data() + at), value);
}

inline void PadTo(std::string& out, size_t alignment) {
  out.resize((out.size() + alignment - 1) / alignment * alignment, '\0');
}

inline uint32_t FieldU32(std::string_view bytes, size_t at) {
  return DecodeU32(reinterpret_cast<const uint8_t*>(bytes.data() + at));
}
inline uint16_t FieldU16(std::string_view bytes, size_t at) {
  return DecodeU16(reinterpret_cast<const uint8_t*>(bytes.data() + at));
}
