#include "builder/script_encoding.h"

#include <cstdint>

#include "builder/build_files.h"

namespace {

bool StartsWith(std::string_view bytes, std::string_view mark) {
  return bytes.substr(0, mark.size()) == mark;
}

void AppendUtf8(uint32_t value, std::string* out) {
  if (value < 0x80) {
    out->push_back(static_cast<char>(value));
  } else if (value < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (value >> 6)));
    out->push_back(static_cast<char>(0x80 | (value & 0x3F)));
  } else if (value < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (value >> 12)));
    out->push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (value & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (value >> 18)));
    out->push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (value & 0x3F)));
  }
}

std::string FromUtf16(std::string_view units, bool bigEndian, const char* name) {
  if (units.size() % 2 != 0) {
    throw PackageError("", std::string("the script is ") + name +
                               " with an odd number of bytes: it breaks off; save it again");
  }
  const auto unitAt = [&](size_t i) {
    const auto a = static_cast<uint8_t>(units[i]);
    const auto b = static_cast<uint8_t>(units[i + 1]);
    return static_cast<uint32_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
  };
  std::string text;
  text.reserve(units.size() / 2);
  size_t line = 1;
  for (size_t i = 0; i < units.size(); i += 2) {
    uint32_t value = unitAt(i);
    if (value >= 0xD800 && value < 0xDC00 && i + 2 < units.size() && unitAt(i + 2) >= 0xDC00 &&
        unitAt(i + 2) < 0xE000) {
      value = 0x10000 + ((value - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00);
      i += 2;
    } else if (value >= 0xD800 && value < 0xE000) {
      throw PackageError("", std::string("the script is ") + name +
                                 " with a lone surrogate on line " + std::to_string(line));
    }
    line += value == '\n';
    AppendUtf8(value, &text);
  }
  return text;
}

}  // namespace

std::string ScriptTextOfFile(std::string bytes) {
  // UTF-32's little-endian mark begins with UTF-16's: asked first.
  if (StartsWith(bytes, std::string_view("\xFF\xFE\0\0", 4)) ||
      StartsWith(bytes, std::string_view("\0\0\xFE\xFF", 4))) {
    throw PackageError("", std::string("the script is UTF-32") + (bytes[0] == 0 ? "BE" : "LE") +
                               "; save it as UTF-8 (or UTF-16)");
  }
  if (StartsWith(bytes, "\xEF\xBB\xBF")) return bytes.substr(3);
  if (StartsWith(bytes, "\xFF\xFE"))
    return FromUtf16(std::string_view(bytes).substr(2), false, "UTF-16LE");
  if (StartsWith(bytes, "\xFE\xFF"))
    return FromUtf16(std::string_view(bytes).substr(2), true, "UTF-16BE");
  const auto ascii = [](char c) { return c > 0 && static_cast<uint8_t>(c) < 0x80; };
  if (bytes.size() >= 2 &&
      ((bytes[0] == 0 && ascii(bytes[1])) || (ascii(bytes[0]) && bytes[1] == 0))) {
    throw PackageError("", std::string("the script looks like UTF-16") +
                               (bytes[0] == 0 ? "BE" : "LE") +
                               " without its byte-order mark; save it as UTF-8 (or UTF-16 with "
                               "its mark)");
  }
  return bytes;
}
