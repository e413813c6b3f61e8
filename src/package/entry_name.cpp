#include "package/entry_name.h"

#include <cstdint>

namespace {

bool IsContinuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 0x20) : c; }

bool EqualsAsciiUpper(std::u16string_view text, const char* upper) {
  size_t i = 0;
  for (; upper[i] != '\0'; ++i) {
    if (i == text.size() || AsciiUpper(text[i]) != static_cast<char16_t>(upper[i])) return false;
  }
  return i == text.size();
}

// Windows takes the ISO 8859-1 superscripts as digits in COM and LPT names.
bool IsDeviceDigit(char16_t c) {
  return (c >= u'1' && c <= u'9') || c == u'\u00B9' || c == u'\u00B2' || c == u'\u00B3';
}

// Windows resolves "con", "con.txt" and "con .tar.gz" alike to the device:
// the part before the first dot counts, trailing blanks dropped.
bool IsDeviceName(std::u16string_view name) {
  std::u16string_view base = name.substr(0, name.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.remove_suffix(1);
  if (base.size() == 3) {
    return EqualsAsciiUpper(base, "CON") || EqualsAsciiUpper(base, "PRN") ||
           EqualsAsciiUpper(base, "AUX") || EqualsAsciiUpper(base, "NUL");
  }
  if (base.size() == 4 && IsDeviceDigit(base[3])) {
    std::u16string_view stem = base.substr(0, 3);
    return EqualsAsciiUpper(stem, "COM") || EqualsAsciiUpper(stem, "LPT");
  }
  return false;
}

}  // namespace

size_t DecodeUtf8CodePoint(const char* bytes, size_t available, char32_t* codePoint) {
  if (available == 0) return 0;
  const auto* s = reinterpret_cast<const uint8_t*>(bytes);
  const uint8_t lead = s[0];
  if (lead < 0x80) {
    *codePoint = lead;
    return 1;
  }
  size_t length;
  char32_t value;
  char32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1Fu, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0Fu, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07u, minimum = 0x10000;
  } else {
    return 0;  // continuation byte, C0/C1 overlong leads, F5..FF
  }
  if (available < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if (!IsContinuation(s[i])) return 0;
    value = (value << 6) | (s[i] & 0x3Fu);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *codePoint = value;
  return length;
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

bool DecodeEntryNameUtf8(const char* bytes, size_t length, std::u16string* out) {
  out->clear();
  size_t at = 0;
  while (at < length) {
    char32_t c;
    const size_t step = DecodeUtf8CodePoint(bytes + at, length - at, &c);
    if (step == 0 || c > 0xFFFF) return false;
    out->push_back(static_cast<char16_t>(c));
    at += step;
  }
  return true;
}

EntryNameProblem CheckEntryName(std::u16string_view name) {
  if (name.empty()) return ENTRY_NAME_EMPTY;
  if (name == u"." || name == u"..") return ENTRY_NAME_DOT;
  for (char16_t c : name) {
    if (c < 0x20 || c == 0x7F) return ENTRY_NAME_CONTROL;
    if (c == u'\\' || c == u'/' || c == u':') return ENTRY_NAME_SEPARATOR;
    if (c == u'*' || c == u'?' || c == u'"' || c == u'<' || c == u'>' || c == u'|') {
      return ENTRY_NAME_RESERVED_CHAR;
    }
  }
  if (name.back() == u'.' || name.back() == u' ') return ENTRY_NAME_TRAILING;
  if (IsDeviceName(name)) return ENTRY_NAME_DEVICE;
  return ENTRY_NAME_OK;
}

const char* DescribeEntryNameProblem(EntryNameProblem problem) {
  switch (problem) {
    case ENTRY_NAME_OK:
      return "a valid name";
    case ENTRY_NAME_EMPTY:
      return "an empty name";
    case ENTRY_NAME_DOT:
      return "'.' and '..' cannot be names";
    case ENTRY_NAME_SEPARATOR:
      return "the name holds a path separator ('\\', '/' or ':')";
    case ENTRY_NAME_CONTROL:
      return "the name holds a control character";
    case ENTRY_NAME_RESERVED_CHAR:
      return "the name holds a character Windows reserves (* ? \" < > |)";
    case ENTRY_NAME_TRAILING:
      return "the name ends with a dot or a blank, which Windows strips";
    case ENTRY_NAME_DEVICE:
      return "the name is a reserved device name on Windows (CON, PRN, AUX, NUL, COM1-9, LPT1-9)";
  }
  return "an unusable name";
}
