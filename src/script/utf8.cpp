#include "script/utf8.h"

#include <cstring>

namespace {

bool IsContinuation(uint8_t byte) { return byte >= 0x80 && byte <= 0xBF; }

// The bytes a conversion reads: up to the first NUL, never past `length`.
size_t BoundedLength(const char* in, size_t length) {
  if (length == SIZE_MAX) return std::strlen(in);
  const void* nul = std::memchr(in, 0, length);
  return nul == nullptr ? length : static_cast<size_t>(static_cast<const char*>(nul) - in);
}

size_t BoundedLength(const char16_t* in, size_t length) {
  size_t count = 0;
  while (count < length && in[count] != 0) ++count;
  return count;
}

// Bytes that one UTF-16 unit takes in UTF-8 when encoded on its own.
size_t EncodedSize(char16_t unit) { return unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3; }

void Encode(char16_t unit, char* out) {
  if (unit < 0x80) {
    out[0] = static_cast<char>(unit);
  } else if (unit < 0x800) {
    out[0] = static_cast<char>(0xC0 + (unit >> 6));
    out[1] = static_cast<char>(0x80 + (unit & 0x3F));
  } else {
    out[0] = static_cast<char>(0xE0 + (unit >> 12));
    out[1] = static_cast<char>(0x80 + ((unit >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 + (unit & 0x3F));
  }
}

}  // namespace

uint32_t DecodeUtf8Char(const uint8_t** cursor, const uint8_t* end) {
  const uint8_t lead = *(*cursor)++;
  int needed;
  uint32_t value;
  if (lead < 0x80) return lead;
  if (lead < 0xC0) return 0;
  if (lead < 0xE0) {
    needed = 1;
    value = lead & 0x1Fu;
  } else if (lead < 0xF0) {
    needed = 2;
    value = lead & 0x0Fu;
  } else if (lead < 0xF8) {
    needed = 3;
    value = lead & 0x07u;
  } else if (lead < 0xFC) {
    needed = 4;
    value = lead & 0x03u;
  } else if (lead < 0xFE) {
    needed = 5;
    value = lead & 0x01u;
  } else {
    return 0;
  }
  // Six bits per continuation byte below the lead's bits; at most 31 bits in
  // all, so nothing wraps. A byte that does not continue the sequence is left
  // under the cursor to be read again as a lead.
  for (int i = 0; i < needed; ++i) {
    if (*cursor == end || !IsContinuation(**cursor)) return 0;
    value = (value << 6) | (*(*cursor)++ & 0x3Fu);
  }
  return value;
}

size_t Utf8ToWide(char16_t* out, size_t capacity, const char* in, size_t length) {
  size_t count = 0;
  if (in != nullptr) {
    const auto* cursor = reinterpret_cast<const uint8_t*>(in);
    const uint8_t* end = cursor + BoundedLength(in, length);
    while (cursor < end) {
      const auto unit = static_cast<char16_t>(DecodeUtf8Char(&cursor, end) & 0xFFFF);
      if (unit == 0) continue;
      if (count + 1 < capacity) out[count] = unit;
      ++count;
    }
  }
  if (capacity > 0) out[count < capacity ? count : capacity - 1] = 0;
  return count;
}

std::u16string Utf8ToWide(std::string_view in) {
  const size_t units = Utf8ToWide(nullptr, 0, in.data(), in.size());
  std::u16string out(units, u'\0');
  Utf8ToWide(out.data(), units + 1, in.data(), in.size());
  return out;
}

size_t WideToUtf8(char* out, size_t capacity, const char16_t* in, size_t length) {
  size_t count = 0;
  size_t written = 0;
  bool cut = false;
  if (in != nullptr) {
    const size_t units = BoundedLength(in, length);
    for (size_t i = 0; i < units; ++i) {
      const size_t size = EncodedSize(in[i]);
      // Once one sequence does not fit, nothing more is written, so that the
      // output is always a prefix made of whole sequences.
      if (!cut && written + size < capacity) {
        Encode(in[i], out + written);
        written += size;
      } else {
        cut = true;
      }
      count += size;
    }
  }
  if (capacity > 0) out[written] = 0;
  return count;
}

std::string WideToUtf8(std::u16string_view in) {
  const size_t bytes = WideToUtf8(nullptr, 0, in.data(), in.size());
  std::string out(bytes, '\0');
  WideToUtf8(out.data(), bytes + 1, in.data(), in.size());
  return out;
}
