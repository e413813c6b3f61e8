#include <windows.h>
// windows.h first: the shell header builds on it.
#include <shellapi.h>
#include <shlobj.h>

#include <climits>

#include "base/utf8.h"
#include "base/win32/win_handles.h"
#include "platform/win32/wide_text.h"
#include "platform/windows_path.h"
#include "script/win32/held_batch_file.h"
#include "script/win32/script_actions.h"

namespace {

// The system's own interpreter by its full path: started by name, the search
// would find a cmd.exe beside the setup program or in the current directory
// (the target folder) first, and run it elevated.
std::u16string InterpreterPath() {
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::u16string path(reinterpret_cast<const char16_t*>(system), length);
  return path.append(u"\\cmd.exe");
}

std::u16string ReadShellFolder(HKEY key, const char16_t* name) {
  // One unit more than the query may fill, so that a value without its own
  // zero unit still ends.
  char16_t buffer[kShellFolderValueBytes / sizeof(char16_t) + 1] = {};
  DWORD size = kShellFolderValueBytes;
  if (RegQueryValueExW(key, AsWide(name), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                       &size) != ERROR_SUCCESS) {
    return {};
  }
  const std::u16string_view value(buffer, size / sizeof(char16_t));
  return std::u16string(value.substr(0, value.find(u'\0')));
}

}  // namespace

bool IsWow64() {
#ifdef _WIN64
  return true;
#else
  // Looked up by name: older systems have no IsWow64Process and are 32-bit.
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, BOOL*);
  const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process");
  if (found == nullptr) return false;
  const auto isWow64Process =
      reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void (*)()>(found));
  BOOL wow64 = FALSE;
  return isWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

std::string WideToOem(std::u16string_view text) {
  if (text.empty() || text.size() > INT_MAX / 4) return {};
  const int units = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_OEMCP, 0, AsWide(text.data()), units, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string oem(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_OEMCP, 0, AsWide(text.data()), units, oem.data(), length, nullptr,
                      nullptr);
  return oem;
}

std::string Utf8ToOem(std::string_view text) { return WideToOem(Utf8ToWide(text)); }

// The long path of a shell folder without a trailing separator; empty when
// the system has none.
std::u16string GetShellFolderPath(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  GetLongPathNameW(path, path, MAX_PATH);
  std::u16string folder(reinterpret_cast<const char16_t*>(path));
  if (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/')) folder.pop_back();
  return folder;
}

ShellFolders ReadShellFolders(bool perUser) {
  ShellFolders folders;
  HKEY opened = nullptr;
  if (RegOpenKeyExW(perUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, AsWide(kShellFoldersKey), 0,
                    KEY_READ, &opened) != ERROR_SUCCESS) {
    return folders;
  }
  const RegistryKey key(opened);
  folders.keyOpened = true;
  for (size_t i = 0; i < kShellFolderVars.size(); ++i) {
    folders.values[i] = ReadShellFolder(
        key.Get(), perUser ? kShellFolderVars[i].userName : kShellFolderVars[i].registryName);
  }
  return folders;
}

FolderValues ReadFolderValues(bool perUser) {
  FolderValues values;
  values[FOLDER_PROGRAM_FILES] = GetShellFolderPath(CSIDL_PROGRAM_FILES);
  wchar_t native[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"ProgramW6432", native, MAX_PATH);
  values[FOLDER_PROGRAM_FILES_64] =
      length > 0 && length < MAX_PATH ? std::u16string(reinterpret_cast<char16_t*>(native), length)
                                      : values[FOLDER_PROGRAM_FILES];
  values[FOLDER_LOCAL_APP_DATA] = GetShellFolderPath(CSIDL_LOCAL_APPDATA);
  values[FOLDER_ROAMING_APP_DATA] = GetShellFolderPath(CSIDL_APPDATA);
  const ShellFolders marker = ReadShellFolders(perUser);
  for (size_t i = 0; i < kShellFolderVars.size(); ++i)
    values[FOLDER_DESKTOP + i] = marker.values[i];
  return values;
}

namespace {

// Runs `file`, written as `fileName` in `directory` and held, with a hidden
// cmd.exe, waits for cmd.exe to end and removes the file. `exitCode`, when
// given, receives cmd.exe's exit code.
BatchRun RunBatchAndWait(HeldBatchFile& file, const std::u16string& fileName,
                         const std::u16string& directory, uint32_t* exitCode) {
  const std::u16string folder = DirectoryForm(directory);
  SetCurrentDirectoryW(AsWide(folder));
  const std::u16string interpreter = InterpreterPath();
  if (interpreter.empty()) return BatchRun::kNotStarted;
  const std::u16string parameters = BatchCommandParameters(fileName);
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = L"open";
  info.lpFile = AsWide(interpreter);
  info.lpParameters = AsWide(parameters);
  info.lpDirectory = AsWide(folder);
  info.nShow = SW_HIDE;
  if (!ShellExecuteExW(&info) || info.hProcess == nullptr) return BatchRun::kNotStarted;
  const KernelHandle process(info.hProcess);
  // The held file cannot delete itself (its closing line fails): the end of
  // cmd.exe is the end of the batch, whether it reached that line or not.
  WaitForSingleObject(process.Get(), INFINITE);
  DWORD code = 0;
  if (exitCode != nullptr && GetExitCodeProcess(process.Get(), &code)) *exitCode = code;
  return file.Remove() ? BatchRun::kFinished : BatchRun::kLeftBehind;
}

const char16_t* DescribeBatchRun(BatchRun run) {
  switch (run) {
    case BatchRun::kAbsent:
      return u"absent";
    case BatchRun::kNotWritten:
      return u"could not be written";
    case BatchRun::kWritten:
      return u"written";
    case BatchRun::kFinished:
      return u"ran";
    case BatchRun::kLeftBehind:
      return u"ran; its file could not be removed";
    case BatchRun::kNotStarted:
      break;
  }
  return u"could not be started";
}

}  // namespace

BatchRun WriteBatchSection(const ScriptActionContext& context, const BatchSection& section) {
  uint8_t* body = FindSection(context.script, context.localeName, section.sectionName);
  if (body == nullptr) return BatchRun::kAbsent;
  const std::string bytes =
      ComposeBatchFile(context.script, body, section, ReadShellFolders(context.perUser), WideToOem);
  BatchRun run = BatchRun::kWritten;
  uint32_t exitCode = UINT32_MAX;
  HeldBatchFile file;
  if (!file.Write(context.targetDir, section.fileName, bytes)) {
    run = BatchRun::kNotWritten;
  } else if (section.runAndWait) {
    run = RunBatchAndWait(file, section.fileName, context.targetDir,
                          context.log != nullptr ? &exitCode : nullptr);
  }
  if (context.log != nullptr) {
    context.Note(Concat({u"batch ", section.fileName, u": ", DescribeBatchRun(run),
                         exitCode != UINT32_MAX ? u", exit code " : u"",
                         exitCode != UINT32_MAX ? Utf8ToWide(std::to_string(exitCode)) : u""}));
  }
  return run;
}

BatchRun DoPrepareSection(const ScriptActionContext& context) {
  return WriteBatchSection(context, BatchSectionOf(BatchKind::kPrepare, false));
}

BatchRun DoBinSection(const ScriptActionContext& context) {
  return WriteBatchSection(context, BatchSectionOf(BatchKind::kBin, IsWow64()));
}

BatchRun DoInstallSection(const ScriptActionContext& context) {
  return WriteBatchSection(context, BatchSectionOf(BatchKind::kInstall, false));
}

BatchRun DoUninstallSection(const ScriptActionContext& context) {
  return WriteBatchSection(context, BatchSectionOf(BatchKind::kUninstall, false));
}
