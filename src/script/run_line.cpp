#include "script/run_line.h"

#include <utility>

#include "base/utf8.h"
#include "platform/windows_path.h"
#include "script/folder_variables.h"

RunSkip ParseRunLine(std::string_view line, std::u16string_view targetDir, RunLine* out,
                     bool withProduct) {
  // Blanks are looked for after the conversion: ill-formed bytes next to a
  // blank vanish and cannot hide it.
  const std::u16string text = Utf8ToWide(line);
  if (text.size() > kRunLineUnits) return RunSkip::kLineTooLong;
  const size_t firstBlank = text.find(u' ');
  std::u16string_view program = std::u16string_view(text).substr(0, firstBlank);
  if (withProduct) program = WithoutInstallDir(program);

  RunLine parsed;
  parsed.file.reserve(targetDir.size() + 1 + program.size());
  parsed.file.append(targetDir).append(1, u'\\').append(program);
  if (parsed.file.size() > kRunPathUnits) return RunSkip::kPathTooLong;
  if (firstBlank != std::u16string::npos) {
    const std::u16string_view parameter = std::u16string_view(text).substr(text.rfind(u' ') + 1);
    parsed.parameters =
        withProduct ? ExpandInstallDir(parameter, targetDir) : std::u16string(parameter);
  }
  // A drive root as "D:\": "D:" would be the current directory there.
  parsed.workingDirectory = DirectoryForm(parsed.file.substr(0, parsed.file.rfind(u'\\')));
  *out = std::move(parsed);
  return RunSkip::kNone;
}
