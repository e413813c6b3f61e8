#include "installer/locale_texts.h"

#include <cstring>
#include <string_view>

#include "base/utf8.h"

namespace {

TargetMode ModeOf(char character) {
  if (character == '0') return TargetMode::kFixed;
  if (character == '1') return TargetMode::kAutomatic;
  return TargetMode::kChoose;
}

// Line 3: the folder before the first comma, and the mode after it. The
// split is made on the UTF-8 bytes, so a folder holding a comma is cut there.
void ReadTargetLine(std::string_view line, LocaleTexts* texts) {
  const size_t comma = line.find(',');
  if (comma != std::string_view::npos) {
    texts->mode = comma + 1 < line.size() ? ModeOf(line[comma + 1]) : TargetMode::kChoose;
    line = line.substr(0, comma);
  }
  texts->targetDir = Utf8ToWide(line);
}

}  // namespace

LocaleTexts ReadLocaleTexts(ScriptText script, LocaleName* localeName) {
  LocaleTexts texts;
  uint8_t* body = FindLocaleSection(script, localeName);
  if (body == nullptr) return texts;

  std::u16string* const plainLines[] = {&texts.title,        &texts.prompt,      nullptr,
                                        &texts.startCaption, &texts.busyCaption, &texts.filePrefix};
  LineReader reader(script, body);
  char* line;
  size_t length;
  for (std::u16string* text : plainLines) {
    if (!reader.Next(&line, &length)) return texts;
    // A NUL inside the line ends its text, as it would for the window.
    const std::string_view content(line, strnlen(line, length));
    if (text == nullptr) {
      ReadTargetLine(content, &texts);
    } else {
      *text = Utf8ToWide(content);
    }
  }
  if (!reader.AtBodyEnd() && reader.Next(&line, &length)) {
    texts.pictureName = Utf8ToWide(std::string_view(line, strnlen(line, length)));
  }
  return texts;
}
