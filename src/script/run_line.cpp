#include "script/run_line.h"

#include <utility>

#include "base/utf8.h"
#include "platform/windows_path.h"

RunSkip ParseRunLine(std::string_view line, std::u16string_view targetDir, RunLine* out) {
  // Blanks are looked for after the conversion: ill-formed bytes next to a
  // blank vanish and cannot hide it.
  const std::u16string text = Utf8ToWide(line);
  if (text.size() > kRunLineUnits) return RunSkip::kLineTooLong;
  const size_t firstBlank = text.find(u' ');
  const std::u16string_view program = std::u16string_view(text).substr(0, firstBlank);

  RunLine parsed;
  parsed.file.reserve(targetDir.size() + 1 + program.size());
  parsed.file.append(targetDir).append(1, u'\\').append(program);
  if (parsed.file.size() > kRunPathUnits) return RunSkip::kPathTooLong;
  if (firstBlank != std::u16string::npos) parsed.parameters = text.substr(text.rfind(u' ') + 1);
  // A drive root as "D:\": "D:" would be the current directory there.
  parsed.workingDirectory = DirectoryForm(parsed.file.substr(0, parsed.file.rfind(u'\\')));
  *out = std::move(parsed);
  return RunSkip::kNone;
}
