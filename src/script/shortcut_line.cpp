#include "script/shortcut_line.h"

#include <utility>

#include "base/utf8.h"
#include "platform/windows_path.h"

namespace {

bool ConvertField(std::string_view utf8, std::u16string* out) {
  *out = Utf8ToWide(utf8);
  return out->size() <= kShortcutFieldUnits;
}

}  // namespace

std::u16string ShortcutWorkingDirectory(std::u16string_view targetPath) {
  const size_t backslash = targetPath.rfind(u'\\');
  if (backslash == std::u16string_view::npos) return std::u16string(targetPath);
  const bool afterDrive = backslash > 0 && targetPath[backslash - 1] == u':';
  return std::u16string(targetPath.substr(0, afterDrive ? backslash + 1 : backslash));
}

ShortcutSkip ParseShortcutLine(std::string_view line, std::u16string_view targetDir,
                               ShortcutLine* out) {
  line = line.substr(0, line.find('\0'));
  if (line.empty()) return ShortcutSkip::kEmptyLine;
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return ShortcutSkip::kNoEquals;
  std::string_view target = line.substr(equals + 1);
  std::string_view description;
  if (const size_t semicolon = target.find(';'); semicolon != std::string_view::npos) {
    description = target.substr(semicolon + 1);
    target = target.substr(0, semicolon);
  }

  ShortcutLine parsed;
  std::u16string targetName;
  if (!ConvertField(line.substr(0, equals), &parsed.linkPath) ||
      !ConvertField(target, &targetName) || !ConvertField(description, &parsed.description)) {
    return ShortcutSkip::kFieldTooLong;
  }
  parsed.targetPath.reserve(targetDir.size() + 1 + targetName.size());
  parsed.targetPath.append(targetDir).append(1, u'\\').append(targetName);
  if (parsed.targetPath.size() > kShortcutFieldUnits) return ShortcutSkip::kFieldTooLong;
  const size_t linkUnits = PathRootLength(parsed.linkPath) != 0
                               ? parsed.linkPath.size()
                               : targetDir.size() + 1 + parsed.linkPath.size();
  if (parsed.targetPath.size() > kShellLinkPathUnits || linkUnits > kShellLinkPathUnits) {
    return ShortcutSkip::kTooLongForShell;
  }
  parsed.workingDirectory = ShortcutWorkingDirectory(parsed.targetPath);
  *out = std::move(parsed);
  return ShortcutSkip::kNone;
}

uint8_t* FindShortcutsSection(ScriptText script, const LocaleName& localeName) {
  uint8_t* afterBracket = FindSectionHeader(script, localeName, "shortcuts");
  if (afterBracket == nullptr) return nullptr;
  // A header at the very end of the text has no byte after its bracket.
  return afterBracket < script.end() ? afterBracket + 1 : script.end();
}
