// One [shortcuts] line: LINK=TARGET[;DESCRIPTION], turned into the three
// properties a shortcut gets and the file it is saved to; in a script with a
// plain [product], LINK=TARGET[;DESCRIPTION[;ARGUMENTS[;ICON[,INDEX]]]] with
// %InstallDir% as the install folder. The Windows layer only drives the
// shell link object.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "script/setup_script.h"

// Why a line makes no shortcut.
enum class ShortcutSkip : uint8_t {
  kNone,
  kEmptyLine,
  kNoEquals,
  kFieldTooLong,     // a field, or the target path, over kShortcutFieldUnits
  kTooLongForShell,  // the target path or the link's full path over kShellLinkPathUnits
};

// The longest link path, target, description and composed target path, in
// UTF-16 units.
inline constexpr size_t kShortcutFieldUnits = 511;
// IShellLinkW takes paths of at most MAX_PATH units, its terminator included:
// a longer one would be cut into another path.
inline constexpr size_t kShellLinkPathUnits = 259;

struct ShortcutLine {
  std::u16string linkPath;    // used as written: relative to the current directory
  std::u16string targetPath;  // targetDir, a backslash, TARGET
  std::u16string workingDirectory;
  std::u16string description;  // empty without ";", and still set
  // Set only when given (a script with [product]): the command-line
  // arguments, and the icon's file (targetDir, a backslash, ICON) and index.
  std::u16string arguments;
  std::u16string iconPath;
  int iconIndex = 0;
};

// Splits `line` (its text ends at its first NUL, if any) at its first "=" and
// the rest at its first ";", and composes the target path under `targetDir`
// (the install folder without a trailing backslash, "D:" for a drive root).
// A relative link path is measured below `targetDir`, where it is saved.
// `withProduct` (the script has a plain [product]): the description ends at
// the next ";", then come the arguments and the icon (its index after its
// last comma), and %InstallDir% is `targetDir` (a TARGET or ICON that begins
// with "%InstallDir%\" is the same path without it).
// On success returns kNone and fills *out; otherwise returns the reason the
// line is skipped and leaves *out alone.
ShortcutSkip ParseShortcutLine(std::string_view line, std::u16string_view targetDir,
                               ShortcutLine* out, bool withProduct = false);

// The target path up to its last backslash; the backslash is kept after a
// drive ("D:\run.exe" gives "D:\"). A path without a backslash gives itself.
std::u16string ShortcutWorkingDirectory(std::u16string_view targetPath);

// The first byte of the [shortcuts] body (or its locale variant), or null when
// the section is absent. Unlike the other sections, the body starts exactly
// one byte after the header's closing bracket: text behind the bracket, less
// its first byte, is the first line, and a CR LF header gives an empty first
// line.
uint8_t* FindShortcutsSection(ScriptText script, const LocaleName& localeName);
