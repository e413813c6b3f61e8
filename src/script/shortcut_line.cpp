#include "script/shortcut_line.h"

#include <utility>

#include "base/utf8.h"
#include "platform/windows_path.h"
#include "script/folder_variables.h"

namespace {

bool ConvertField(std::string_view utf8, std::u16string* out) {
  *out = Utf8ToWide(utf8);
  return out->size() <= kShortcutFieldUnits;
}

std::u16string InFolder(std::u16string_view folder, std::u16string_view name) {
  std::u16string path;
  path.reserve(folder.size() + 1 + name.size());
  path.append(folder).append(1, u'\\').append(name);
  return path;
}

// "app.exe,2": the index after the icon file's last comma, which goes with
// it; a name without ",DIGITS" at its end keeps its comma and takes icon 0.
int TakeIconIndex(std::u16string* icon) {
  const size_t comma = icon->rfind(u',');
  if (comma == std::u16string::npos || comma + 1 == icon->size() || icon->size() - comma > 6) {
    return 0;
  }
  int index = 0;
  for (size_t i = comma + 1; i < icon->size(); ++i) {
    const char16_t c = (*icon)[i];
    if (c < u'0' || c > u'9') return 0;
    index = index * 10 + (c - u'0');
  }
  icon->resize(comma);
  return index;
}

}  // namespace

std::u16string ShortcutWorkingDirectory(std::u16string_view targetPath) {
  const size_t backslash = targetPath.rfind(u'\\');
  if (backslash == std::u16string_view::npos) return std::u16string(targetPath);
  const bool afterDrive = backslash > 0 && targetPath[backslash - 1] == u':';
  return std::u16string(targetPath.substr(0, afterDrive ? backslash + 1 : backslash));
}

ShortcutSkip ParseShortcutLine(std::string_view line, std::u16string_view targetDir,
                               ShortcutLine* out, bool withProduct) {
  line = line.substr(0, line.find('\0'));
  if (line.empty()) return ShortcutSkip::kEmptyLine;
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return ShortcutSkip::kNoEquals;
  // TARGET, then DESCRIPTION, ARGUMENTS and ICON; an old line's description
  // is the whole rest, ";" and all.
  std::string_view fields[4];
  std::string_view rest = line.substr(equals + 1);
  const size_t count = withProduct ? 4 : 2;
  bool more = true;
  for (size_t i = 0; i < count && more; ++i) {
    const size_t semicolon = i + 1 < count ? rest.find(';') : std::string_view::npos;
    fields[i] = rest.substr(0, semicolon);
    more = semicolon != std::string_view::npos;
    if (more) rest.remove_prefix(semicolon + 1);
  }

  ShortcutLine parsed;
  std::u16string targetName;
  std::u16string iconName;
  if (!ConvertField(line.substr(0, equals), &parsed.linkPath) ||
      !ConvertField(fields[0], &targetName) || !ConvertField(fields[1], &parsed.description) ||
      !ConvertField(fields[2], &parsed.arguments) || !ConvertField(fields[3], &iconName)) {
    return ShortcutSkip::kFieldTooLong;
  }
  if (withProduct) {
    parsed.linkPath = ExpandInstallDir(parsed.linkPath, targetDir);
    targetName = WithoutInstallDir(targetName);
    parsed.description = ExpandInstallDir(parsed.description, targetDir);
    parsed.arguments = ExpandInstallDir(parsed.arguments, targetDir);
    iconName = WithoutInstallDir(iconName);
  }
  parsed.targetPath = InFolder(targetDir, targetName);
  if (parsed.targetPath.size() > kShortcutFieldUnits) return ShortcutSkip::kFieldTooLong;
  const size_t linkUnits = PathRootLength(parsed.linkPath) != 0
                               ? parsed.linkPath.size()
                               : targetDir.size() + 1 + parsed.linkPath.size();
  if (parsed.targetPath.size() > kShellLinkPathUnits || linkUnits > kShellLinkPathUnits) {
    return ShortcutSkip::kTooLongForShell;
  }
  if (!iconName.empty()) {
    parsed.iconIndex = TakeIconIndex(&iconName);
    parsed.iconPath = InFolder(targetDir, iconName);
    if (parsed.iconPath.size() > kShellLinkPathUnits) return ShortcutSkip::kTooLongForShell;
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
