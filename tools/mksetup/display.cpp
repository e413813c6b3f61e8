#include "display.h"

#include <cstdio>
#include <iostream>
#include <iterator>

#include "base/utf8.h"

namespace {

void AppendEscaped(std::string& out, unsigned char byte) {
  char escaped[5];
  std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
  out += escaped;
}

std::string Escape(std::string_view path, bool keepLines) {
  std::string out;
  size_t at = 0;
  while (at < path.size()) {
    char32_t c;
    const size_t step = DecodeUtf8CodePoint(path.data() + at, path.size() - at, &c);
    if (step == 0) {
      AppendEscaped(out, static_cast<unsigned char>(path[at++]));
      continue;
    }
    const bool kept = keepLines && (c == '\n' || c == '\t');
    if (!kept && (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0))) {
      for (size_t i = 0; i < step; ++i) AppendEscaped(out, static_cast<unsigned char>(path[at++]));
      continue;
    }
    out.append(path.substr(at, step));
    at += step;
  }
  return out;
}

}  // namespace

std::string DisplayPath(std::string_view path) { return Escape(path, false); }

std::string DisplayText(std::string_view text) { return Escape(text, true); }

std::string FormatSize(uint64_t bytes) {
  char text[32];
  if (bytes < 1000) {
    std::snprintf(text, sizeof text, "%u byte%s", static_cast<unsigned>(bytes),
                  bytes == 1 ? "" : "s");
    return text;
  }
  static constexpr const char* kUnits[] = {"kB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1e3;
  size_t unit = 0;
  // 999.95 would print as "1000.0": it is the next unit's 1.0.
  while (value >= 999.95 && unit + 1 < std::size(kUnits)) {
    value /= 1e3;
    ++unit;
  }
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

void PrintError(std::string_view subject, std::string_view message) {
  std::cerr << "mksetup: ";
  if (!subject.empty()) std::cerr << subject << ": ";
  std::cerr << message << '\n';
}
