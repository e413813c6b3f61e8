// The batch files made from the [prepare], [bin_32]/[bin_64], [install] and
// [uninstall] sections: their names, their closing lines and their exact
// bytes. The Windows layer reads the shell folders, writes the bytes and runs
// the file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "script/setup_script.h"

enum class BatchKind : uint8_t { kPrepare, kBin, kInstall, kUninstall };

struct BatchSection {
  const char* sectionName;   // as FindSection takes it: "prepare", "bin_64", ...
  const char16_t* fileName;  // created in the target folder
  const char* closingLine;   // deletes the file once it has run; null: none
  bool runAndWait;           // false: the file is only left behind
};

// The section of `kind`; for kBin the 64-bit one under WOW64, with no fallback
// to the other.
const BatchSection& BatchSectionOf(BatchKind kind, bool wow64);
// [uninstall] as the uninstaller runs it: written, run hidden and waited for.
const BatchSection& UninstallRunSection();

// cmd.exe's parameters for running `fileName`: /c "fileName".
std::u16string BatchCommandParameters(std::u16string_view fileName);

// The machine's common shell folders, as a body line of exactly
// kShellFolderMarker gives them to the batch: "set Desktop=..." and so on.
inline constexpr std::string_view kShellFolderMarker = "set_system_directory_here";
inline constexpr char16_t kShellFoldersKey[] =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
// The most a folder value is read with, in bytes.
inline constexpr uint32_t kShellFolderValueBytes = 2048;

struct ShellFolderVar {
  const char* variable;          // set in the batch
  const char16_t* registryName;  // the value under kShellFoldersKey of HKLM
  const char16_t* userName;      // the same folder of the user, under HKCU's
};
inline constexpr std::array<ShellFolderVar, 5> kShellFolderVars = {{
    {"Desktop", u"Common Desktop", u"Desktop"},
    {"StartMenu", u"Common Start Menu", u"Start Menu"},
    {"Programs", u"Common Programs", u"Programs"},
    {"Startup", u"Common Startup", u"Startup"},
    {"AppData", u"Common AppData", u"AppData"},
}};

struct ShellFolders {
  bool keyOpened = false;  // false: marker lines write nothing
  // In kShellFolderVars order; a value that is missing or unreadable is empty.
  std::array<std::u16string, kShellFolderVars.size()> values;
};

// Converts UTF-16 to the bytes of the command interpreter's code page (the
// OEM code page on Windows).
using WideToOemFn = std::string (*)(std::u16string_view text);

// Appends one body line (UTF-8; its text ends at its first NUL, if any): the
// shell folder lines if its converted bytes are exactly the marker, otherwise
// those bytes and CR LF. No line is cut, however long.
void AppendBatchLine(std::string* batch, std::string_view line, const ShellFolders& folders,
                     WideToOemFn toOem);

// The whole file for the body at `body` (as FindSection returns it; its lines
// are ended in place): every body line in order, then the section's closing
// line. Nothing else: no byte-order mark, CR LF whatever the script used. An
// absent section (null body) makes no file at all: the caller checks first.
std::string ComposeBatchFile(ScriptText script, uint8_t* body, const BatchSection& section,
                             const ShellFolders& folders, WideToOemFn toOem);
