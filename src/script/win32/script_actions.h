// The script's actions on the machine: registry values, shortcuts, batch
// files and programs to run. Each section's lines are read by the portable
// parsers; these functions only make the system calls. No failure stops a
// section or is reported: a line that cannot be carried out is skipped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "script/batch_file.h"
#include "script/folder_variables.h"
#include "script/install_record.h"
#include "script/locale_name.h"
#include "script/setup_script.h"
#include "script/shortcut_line.h"

// Told what the actions did, for the install log.
class ActionLog {
 public:
  virtual ~ActionLog() = default;
  // One line of the log, without its line end.
  virtual void Note(std::u16string_view line) = 0;
};

// What the actions read of the installer: its script (lines are ended in
// place as they are read), the locale name the variants are chosen by, and
// the install folder without a trailing backslash ("D:" for a drive root).
struct ScriptActionContext {
  ScriptText script;
  LocaleName localeName;
  std::u16string targetDir;
  bool perUser = false;  // the per-user scope: the user's folders, not the machine's
  // The script has a plain [product]: %InstallDir%, the shortcut line's
  // arguments and icon, and the folders of Start-menu groups.
  bool withProduct = false;
  FolderValues folders;      // what %NAME% stands for in link paths
  ActionLog* log = nullptr;  // with /LOG=: told of each batch, value and shortcut
  // The install's record: the keys, values, shortcuts and group folders the
  // actions make go in while installing. Null: none.
  InstallRecord* record = nullptr;
  void Note(std::u16string_view line) const {
    if (log != nullptr) log->Note(line);
  }
};

// [register]: each line's value is written under its key (created if
// missing, each key made going to the context's record), in the 32-bit view
// for the 32-bit stub.
void DoRegisterSection(const ScriptActionContext& context);
// [register64]: the same lines in the 64-bit view (KEY_WOW64_64KEY).
void DoRegister64Section(const ScriptActionContext& context);
// True when the value was set; `view` is a KEY_WOW64_* flag or 0. The
// context's scope and folder complete the line: a per-user HKEY_CLASSES_ROOT
// is the user's classes, and %InstallDir% in a string value of a script
// with [product] the install folder. The keys it makes and the value go to
// the context's record, when it has one.
bool SetRegistryLine(std::string_view line, uint32_t view, const ScriptActionContext& context);

// The uninstall's side: each [register] and [register64] line's value goes;
// each [shortcuts] line's link file goes (only a file whose name ends in
// ".lnk"). Relative to the current directory, as when they were made.
void UndoRegisterSection(const ScriptActionContext& context);
bool RemoveRegistryLine(std::string_view line, uint32_t view, bool perUser);
// Each key the record says the install made, once it is empty (a key that
// was there before the install stays, empty or not).
void RemoveRecordedKeys(const InstallRecord& record);
// What the record names goes: shortcuts and values, then the keys and the
// group folders, each once it is empty. Returns the lines of what is still
// there (not empty, in use), in their order.
InstallRecord RemoveRecorded(const InstallRecord& record);
// Also the folders of a Start-menu group the setup made, once empty.
void UndoShortcutsSection(const ScriptActionContext& context);
bool RemoveShortcutFile(const std::u16string& linkPath);
// True when `path` was a folder (not a link), empty, and now is gone.
bool RemoveEmptyFolder(const std::u16string& path);

// [shortcuts]: each line saves one .lnk file, relative to the current
// directory; with [product], the missing folders of a link under a known
// folder (a Start-menu group) are made first. What is made goes to the
// context's record, when it has one.
void DoShortcutsSection(const ScriptActionContext& context);
// The link path's %NAME% folders are expanded (folder_variables.h).
void MakeShortcutLine(std::string_view line, const ScriptActionContext& context);
// Saves a shell link with the line's target, working directory and
// description, and its arguments and icon when it gives them. True when
// saved.
bool CreateShortcut(const ShortcutLine& shortcut);

// [run]: each line's file is opened by the shell, not waited for.
void DoRunSection(const ScriptActionContext& context);
void RunProgramLine(std::string_view line, std::u16string_view targetDir, bool withProduct);

// The batch sections. Each writes its file into targetDir; the first three
// run it hidden and return once it is done. Nobody else may change a file
// while it runs (held_batch_file.h). The caller has made targetDir
// the current directory.
enum class BatchRun : uint8_t {
  kAbsent,      // no such section: nothing written or run
  kNotWritten,  // the file could not be created or written whole: not run
  kWritten,     // left behind, not run
  kFinished,    // ran, and its file was removed once cmd.exe had ended
  kLeftBehind,  // ran, but its file could not be removed
  kNotStarted,  // cmd.exe could not be started
};
BatchRun DoPrepareSection(const ScriptActionContext& context);
// [bin_64] on 64-bit Windows, else [bin_32]; neither stands in for the other.
BatchRun DoBinSection(const ScriptActionContext& context);
BatchRun DoInstallSection(const ScriptActionContext& context);
BatchRun DoUninstallSection(const ScriptActionContext& context);

BatchRun WriteBatchSection(const ScriptActionContext& context, const BatchSection& section);

// True on 64-bit Windows: under WOW64 for the 32-bit stub, always for a
// 64-bit build.
bool IsWow64();

// The batch files' code page: the OEM one, best-fit or default characters
// for what it lacks.
std::string WideToOem(std::u16string_view text);
std::string Utf8ToOem(std::string_view text);

// The marker line's folders: the machine's common ones from
// HKEY_LOCAL_MACHINE, or the user's own from HKEY_CURRENT_USER.
ShellFolders ReadShellFolders(bool perUser = false);
// What %NAME% stands for in folder lines and link paths, for the scope.
FolderValues ReadFolderValues(bool perUser);
// The long path of a shell folder (a CSIDL_ value) without a trailing
// separator; empty when the system has none.
std::u16string GetShellFolderPath(int csidl);
