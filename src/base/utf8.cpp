#include "base/utf8.h"

#include <cstring>

namespace {

bool IsContinuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

bool IsSurrogate(uint32_t value) { return value >= 0xD800 && value <= 0xDFFF; }

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

size_t EncodedSize(uint32_t value) {
  return value < 0x80 ? 1 : value < 0x800 ? 2 : value < 0x10000 ? 3 : 4;
}

// Writes the EncodedSize(value) bytes of `value` (at most U+10FFFF).
void Encode(uint32_t value, char* out) {
  const size_t size = EncodedSize(value);
  if (size == 1) {
    out[0] = static_cast<char>(value);
    return;
  }
  static constexpr uint8_t kLeadBits[] = {0, 0, 0xC0, 0xE0, 0xF0};
  for (size_t i = size - 1; i > 0; --i) {
    out[i] = static_cast<char>(0x80 | (value & 0x3F));
    value >>= 6;
  }
  out[0] = static_cast<char>(kLeadBits[size] | value);
}

}  // namespace

Utf8Sequence ReadUtf8Sequence(const uint8_t* bytes, size_t available) {
  const uint8_t lead = bytes[0];
  if (lead < 0x80) return {1, lead, true};
  size_t needed;
  uint32_t value;
  if (lead < 0xC0) {
    return {1, 0, false};  // a continuation byte without a lead
  } else if (lead < 0xE0) {
    needed = 1, value = lead & 0x1Fu;
  } else if (lead < 0xF0) {
    needed = 2, value = lead & 0x0Fu;
  } else if (lead < 0xF8) {
    needed = 3, value = lead & 0x07u;
  } else if (lead < 0xFC) {
    needed = 4, value = lead & 0x03u;
  } else if (lead < 0xFE) {
    needed = 5, value = lead & 0x01u;
  } else {
    return {1, 0, false};
  }
  // Six bits per continuation byte below the lead's bits: at most 31 bits in
  // all, so nothing wraps.
  for (size_t i = 1; i <= needed; ++i) {
    if (i == available || !IsContinuation(bytes[i])) return {i, 0, false};
    value = (value << 6) | (bytes[i] & 0x3Fu);
  }
  // The smallest value each length may carry; a smaller one is an overlong
  // form, which could smuggle a '/' or '.' past a byte-wise check.
  static constexpr uint32_t kShortest[] = {0, 0x80, 0x800, 0x10000};
  const bool wellFormed =
      needed <= 3 && value >= kShortest[needed] && value <= 0x10FFFF && !IsSurrogate(value);
  return {needed + 1, value, wellFormed};
}

uint32_t DecodeUtf8Char(const uint8_t** cursor, const uint8_t* end) {
  const Utf8Sequence sequence = ReadUtf8Sequence(*cursor, static_cast<size_t>(end - *cursor));
  *cursor += sequence.length;
  return sequence.value;
}

size_t DecodeUtf8CodePoint(const char* bytes, size_t available, char32_t* codePoint) {
  if (available == 0) return 0;
  const Utf8Sequence sequence =
      ReadUtf8Sequence(reinterpret_cast<const uint8_t*>(bytes), available);
  if (!sequence.wellFormed) return 0;
  *codePoint = sequence.value;
  return sequence.length;
}

size_t FindInvalidUtf8(const char* bytes, size_t length) {
  size_t at = 0;
  while (at < length) {
    char32_t ignored;
    const size_t step = DecodeUtf8CodePoint(bytes + at, length - at, &ignored);
    if (step == 0) return at;
    at += step;
  }
  return length;
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

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t value = text[i];
    if (value >= 0xD800 && value <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      value = 0x10000 + ((value - 0xD800) << 10) + (static_cast<uint32_t>(text[++i]) - 0xDC00);
    } else if (IsSurrogate(value)) {
      value = 0xFFFD;
    }
    char bytes[4];
    Encode(value, bytes);
    out.append(bytes, EncodedSize(value));
  }
  return out;
}

std::u16string Concat(std::initializer_list<std::u16string_view> parts) {
  size_t size = 0;
  for (std::u16string_view part : parts) size += part.size();
  std::u16string text;
  text.reserve(size);
  for (std::u16string_view part : parts) text.append(part);
  return text;
}
