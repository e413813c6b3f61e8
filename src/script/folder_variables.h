// Folders named by their meaning in a [locale] folder line and the link
// paths of [shortcuts]: "%ProgramFiles%\Example", "%Programs%\Example.lnk".
// Names are matched exactly, case included, since two differ in case alone:
// %APPDATA% is the user's roaming folder (the environment variable), while
// %AppData% is the marker line's AppData folder of the install's scope. Text
// without "%" is never changed.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum FolderVariable : uint8_t {
  FOLDER_PROGRAM_FILES,     // %ProgramFiles%: this program's bitness
  FOLDER_PROGRAM_FILES_64,  // %ProgramW6432%: the 64-bit one on 64-bit Windows
  FOLDER_LOCAL_APP_DATA,    // %LOCALAPPDATA%
  FOLDER_ROAMING_APP_DATA,  // %APPDATA%
  FOLDER_DESKTOP,           // %Desktop%  } the marker line's five, for the
  FOLDER_START_MENU,        // %StartMenu% } install's scope: the machine's
  FOLDER_PROGRAMS,          // %Programs%  } common folders, or the user's
  FOLDER_STARTUP,           // %Startup%   } own
  FOLDER_APP_DATA,          // %AppData%   }
  FOLDER_VARIABLE_COUNT,
};

// The names with their percent signs, in FolderVariable order.
extern const std::array<std::u16string_view, FOLDER_VARIABLE_COUNT> kFolderVariableNames;

using FolderValues = std::array<std::u16string, FOLDER_VARIABLE_COUNT>;

// Replaces every known %NAME% by its value; an unknown one, and a "%" that
// starts none, stay as written.
std::u16string ExpandFolderVariables(std::u16string_view text, const FolderValues& values);

// The %NAME% spans of `text` (UTF-8) that name no known folder, for the
// linter: "%Temp%", "%programfiles%".
std::vector<std::string> UnknownFolderVariables(std::string_view text);

// %InstallDir%, the install folder: a name of scripts with a plain
// [product] only (in any other script the text stays as written, as it
// always did). Exact case, as the folder names.
inline constexpr std::u16string_view kInstallDirName = u"%InstallDir%";

// Every %InstallDir% of `text` replaced by `installDir`.
std::u16string ExpandInstallDir(std::u16string_view text, std::u16string_view installDir);

// A path inside the install folder written either way: `path` without a
// leading "%InstallDir%\" ("%InstallDir%\bin\app.exe" is "bin\app.exe").
std::u16string_view WithoutInstallDir(std::u16string_view path);

// The folders between a known folder and a link under it, outermost first:
// "%Programs%\Tools\Text\Notepad.lnk" gives "<Programs>\Tools" and
// "<Programs>\Tools\Text". Nothing when the link does not begin with a known
// folder (one the system has) and a backslash, or when a name between is
// empty, "." or "..": no folder outside the known one is ever made.
std::vector<std::u16string> LinkGroupFolders(std::u16string_view link, const FolderValues& values);
