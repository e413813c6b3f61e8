#include "script/setup_script.h"

#include <cstring>

namespace {

constexpr uint8_t kLf = '\n';
constexpr uint8_t kNul = 0;

uint8_t* Find(ScriptText script, uint8_t separator, const std::string& needle) {
  return const_cast<uint8_t*>(
      FindAtLineStart(script.bytes, script.length, separator, needle.data(), needle.size()));
}

std::string VariantHeader(const char* name, const std::string& locale) {
  return std::string("[") + name + "." + locale + "]";
}

std::string PlainHeader(const char* name) { return std::string("[") + name + "]"; }

// From the byte after a header's bracket to the byte after the line's LF.
uint8_t* SkipHeaderLine(uint8_t* afterBracket, const uint8_t* end) {
  const auto remaining = static_cast<size_t>(end - afterBracket);
  auto* lf = static_cast<uint8_t*>(std::memchr(afterBracket, kLf, remaining));
  return lf == nullptr ? const_cast<uint8_t*>(end) : lf + 1;
}

}  // namespace

const uint8_t* FindAtLineStart(const uint8_t* text, size_t textLength, uint8_t separator,
                               const char* needle, size_t needleLength) {
  if (needleLength == 0) needleLength = std::strlen(needle);
  if (text == nullptr || needleLength > textLength) return nullptr;
  const auto first = static_cast<uint8_t>(needle[0]);
  for (size_t i = 0; i + needleLength <= textLength; ++i) {
    if (i > 0 && text[i - 1] != separator) continue;
    if (text[i] == first && std::memcmp(text + i, needle, needleLength) == 0) {
      return text + i + needleLength;
    }
  }
  return nullptr;
}

uint8_t* FindLocaleSection(ScriptText script, LocaleName* localeName) {
  std::string& name = localeName->text;
  uint8_t* afterBracket = Find(script, kLf, VariantHeader("locale", name));
  if (afterBracket == nullptr) {
    if (name.size() > 2) name.resize(2);
    afterBracket = Find(script, kLf, VariantHeader("locale", name));
  }
  if (afterBracket == nullptr) {
    name.clear();
    afterBracket = Find(script, kLf, PlainHeader("locale"));
  }
  return afterBracket == nullptr ? nullptr : SkipHeaderLine(afterBracket, script.end());
}

uint8_t* FindSectionHeader(ScriptText script, const LocaleName& localeName, const char* name) {
  // A header right after a body that has been read follows a NUL: TakeLine
  // overwrote that body's last LF. The order of the tries only matters for a
  // header that occurs more than once.
  if (!localeName.text.empty()) {
    const std::string variant = VariantHeader(name, localeName.text);
    if (uint8_t* found = Find(script, kLf, variant)) return found;
    if (uint8_t* found = Find(script, kNul, variant)) return found;
  }
  const std::string plain = PlainHeader(name);
  if (uint8_t* found = Find(script, kNul, plain)) return found;
  return Find(script, kLf, plain);
}

uint8_t* FindSection(ScriptText script, const LocaleName& localeName, const char* name) {
  uint8_t* afterBracket = FindSectionHeader(script, localeName, name);
  return afterBracket == nullptr ? nullptr : SkipHeaderLine(afterBracket, script.end());
}

uint8_t* TakeLine(uint8_t* line, const uint8_t* end, size_t* lineLength) {
  const auto remaining = static_cast<size_t>(end - line);
  auto* lf = static_cast<uint8_t*>(std::memchr(line, kLf, remaining));
  if (lf == nullptr) {
    if (lineLength != nullptr) *lineLength = remaining;
    return const_cast<uint8_t*>(end);
  }
  *lf = kNul;
  uint8_t* textEnd = lf;
  if (lf > line && lf[-1] == '\r') *--textEnd = kNul;
  if (lineLength != nullptr) *lineLength = static_cast<size_t>(textEnd - line);
  return lf + 1;
}

bool LineReader::Next(char** line, size_t* length) {
  if (AtEnd()) return false;
  uint8_t* start = position_;
  position_ = TakeLine(start, end_, length);
  if (start + *length == end_) {
    // The unterminated last line: no byte of the script can hold its NUL.
    lastLine_.assign(reinterpret_cast<char*>(start), *length);
    *line = lastLine_.data();
    return true;
  }
  *line = reinterpret_cast<char*>(start);
  return true;
}
