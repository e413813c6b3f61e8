#include "display.h"

#include <cstdio>
#include <iostream>

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

std::string FormatMegabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

void PrintError(std::string_view subject, std::string_view message) {
  std::cerr << "mksetup: ";
  if (!subject.empty()) std::cerr << subject << ": ";
  std::cerr << message << '\n';
}
