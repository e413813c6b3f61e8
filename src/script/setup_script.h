// Reading the setup script: finding section headers (with locale variants),
// ending lines in place and walking a section's body.
//
// The script is mutable bytes with a length and no terminator of its own.
// Reading changes it: line terminators (LF, and a CR right before it) become
// NUL bytes, and line handlers may write NULs inside their line. Nothing here
// reads at or past the end of the text:
// - a last line without LF still counts as a line; it ends at the end of the
//   text (a text ending in LF has no empty line after it);
// - a last body without a following "[" line ends at the end of the text;
// - a header with nothing after its bracket has an empty body.
// Every pointer returned lies within [bytes, bytes + length].
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "script/locale_name.h"

struct ScriptText {
  uint8_t* bytes = nullptr;
  size_t length = 0;
  uint8_t* end() const { return bytes + length; }
};

// Returns the byte just after the first occurrence of `needle` at position 0
// or right after a `separator` byte, or null. A needleLength of 0 means the
// needle is NUL-terminated. Compares exactly; reads only text[0, textLength).
const uint8_t* FindAtLineStart(const uint8_t* text, size_t textLength, uint8_t separator,
                               const char* needle, size_t needleLength = 0);

// Looks up "[locale.ll-CC]", then "[locale.ll]", then "[locale]" (LF
// separator) and narrows `localeName` to the form that was found (empty for
// the plain header). Returns the first byte of the body, or null when none of
// the three exists (the name is then empty).
uint8_t* FindLocaleSection(ScriptText script, LocaleName* localeName);

// Returns the byte after the closing bracket of section `name` ("register",
// "bin_64"): the variant "[name.<localeName>]" first (LF, then NUL as the
// separator) unless the name is empty, then "[name]" (NUL, then LF). Null when
// neither exists. The [shortcuts] section starts its body one byte further:
// clamp that to end(), since a header at the very end has no byte after it.
uint8_t* FindSectionHeader(ScriptText script, const LocaleName& localeName, const char* name);

// FindSectionHeader, then the byte after the header line's LF (or the end of
// the text): the first byte of the body. Null when the section is absent.
uint8_t* FindSection(ScriptText script, const LocaleName& localeName, const char* name);

// Ends the line that starts at `line` in place: its LF, and a CR right before
// the LF, become NUL. Returns the start of the next line, or `end` when the
// line runs to the end of the text. `*lineLength` (if given) receives the
// length of the line's text, terminator excluded.
uint8_t* TakeLine(uint8_t* line, const uint8_t* end, size_t* lineLength = nullptr);

// True when `position` starts a line that ends a body: a "[" line.
inline bool IsBodyEnd(const uint8_t* position, const uint8_t* end) {
  return position >= end || *position == '[';
}

// Hands out a script's lines one by one from a start position, each as
// NUL-terminated text that its user may cut into fields in place. The last
// line of an unterminated text is copied into the reader first, since the
// script has no byte after it to hold the NUL.
class LineReader {
 public:
  LineReader(ScriptText script, uint8_t* start) : position_(start), end_(script.end()) {}

  bool AtEnd() const { return position_ >= end_; }
  // At the end of the text or at a "[" line.
  bool AtBodyEnd() const { return IsBodyEnd(position_, end_); }
  uint8_t* position() const { return position_; }

  // Takes the next line; false at the end of the text.
  bool Next(char** line, size_t* length);

 private:
  uint8_t* position_;
  const uint8_t* end_;
  std::string lastLine_;
};

// Walks a section body from `body` (as FindSection returns it) up to the next
// "[" line or the end of the text, calling handler(char* line, size_t length)
// for every line, empty lines included. Does nothing for a null body.
template <typename Handler>
void WalkBody(ScriptText script, uint8_t* body, Handler&& handler) {
  if (body == nullptr) return;
  LineReader reader(script, body);
  char* line;
  size_t length;
  while (!reader.AtBodyEnd() && reader.Next(&line, &length)) handler(line, length);
}
