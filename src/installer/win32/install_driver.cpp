// The install, in its fixed order: progress mode, the target folder, the
// prepare batch, the extraction with progress, then with the window hidden
// the bin, uninstall, register, shortcuts, install and run sections.
#include <windows.h>
// windows.h first: the control header builds on it.
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/win32/message_pump.h"
#include "base/utf8.h"
#include "installer/deferred_output.h"
#include "installer/install_space.h"
#include "installer/install_target.h"
#include "installer/removal_plan.h"
#include "installer/win32/folder_security.h"
#include "installer/win32/free_space.h"
#include "installer/win32/install_problems.h"
#include "installer/win32/previous_install.h"
#include "installer/win32/product_registry.h"
#include "installer/win32/progress_window.h"
#include "installer/win32/setup_app.h"
#include "installer/win32/tree_removal.h"
#include "package/tree_walker.h"
#include "platform/temporary_name.h"
#include "platform/win32/wide_text.h"
#include "platform/windows_path.h"

namespace {

// Lets programs started by [run] come up before the setup goes away.
constexpr DWORD kFinalPauseMs = 1000;
// The label and bar change at most this often: fast enough to look live.
constexpr DWORD kProgressIntervalMs = 30;

constexpr char16_t kTargetUnusable[] =
    u"The target directory cannot be used. Please choose another one.";

std::u16string NotYoursText(const std::u16string& folder) {
  return Concat({u"You may not write to ", folder,
                 u", which belongs to every user of this computer. Please choose a folder of your "
                 u"own."});
}

std::u16string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  const int copied = GetWindowTextW(window, reinterpret_cast<wchar_t*>(text.data()), length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

// The typed or given folder made absolute against the current directory,
// once, before anything moves that directory. Empty when it names none: a
// blank field would otherwise be the current directory itself, and a path
// that does not fit is not cut to some other folder.
std::u16string FullTargetPath(const std::u16string& text) {
  if (text.find_first_not_of(u" \t") == std::u16string::npos) return {};
  wchar_t full[kTargetDirUnits + 1];
  const DWORD length = GetFullPathNameW(AsWide(text), kTargetDirUnits + 1, full, nullptr);
  if (length == 0 || length > kTargetDirUnits) return {};
  return std::u16string(reinterpret_cast<const char16_t*>(full), length);
}

// Creates every missing folder of the absolute `path`, outermost first, and
// returns those it made; one that cannot be made shows when the folder is
// entered. A per-machine install makes them as Program Files is: only
// administrators may change them (an existing folder keeps its permissions).
std::vector<std::u16string> MakeFolderChain(const std::u16string& path, bool perUser) {
  ProgramFilesSecurity security;
  SECURITY_ATTRIBUTES* attributes = perUser ? nullptr : security.Attributes();
  std::vector<std::u16string> made;
  for (size_t i = PathRootLength(path); i <= path.size(); ++i) {
    if (i < path.size() && path[i] != u'\\') continue;
    std::u16string folder = path.substr(0, i);
    if (CreateDirectoryW(AsWide(LongPathForm(folder)), attributes)) {
      made.push_back(std::move(folder));
    }
  }
  return made;
}

std::u16string CurrentDirectory() {
  const DWORD units = GetCurrentDirectoryW(0, nullptr);
  if (units == 0) return {};
  std::u16string directory(units, u'\0');
  const DWORD length = GetCurrentDirectoryW(units, reinterpret_cast<wchar_t*>(directory.data()));
  directory.resize(length < units ? length : 0);
  return directory;
}

}  // namespace

void SetupApp::DoInstall() {
  // A timer tick or a click that arrives while the install runs (its
  // messages are dispatched during the extraction) only asks the loop to
  // end; the running install goes on.
  if (InstallStarted != 0) {
    PostQuitMessage(0);
    return;
  }
  InstallStarted = 1;
  // The registered version is read under the lock: another setup of the
  // product cannot change it between the question and the install.
  if (!TakeInstallLock(texts.title) || !AcceptVersion()) return;
  ShowProgressMode();
  PumpWindowMessages(hwnd);
  if (!EnterTarget()) {
    LeaveTarget();  // without the parents made before the last one failed
    RefuseTarget(kTargetUnusable);
    return;
  }
  if (context.perUser && !MayWriteTarget()) {
    LeaveTarget();
    RefuseTarget(NotYoursText(context.targetDir));
    return;
  }

  if (!HasRoomForTree()) return;

  const std::u16string directory = DirectoryForm(context.targetDir);
  DoPrepareSection(context);
  SetCurrentDirectoryW(AsWide(directory));
  // What the installed version wrote, read before its uninstaller is
  // replaced by this one's.
  PackageTree previous;
  const bool upgrade =
      product_.Usable() && ReadPreviousRecord(context.targetDir, product_.id, &previous);
  // The registered install, read before the entry describes this one: in
  // another folder, it moves here.
  const std::u16string registered = product_.Usable() ? RegisteredLocation(product_) : u"";
  ExtractStats stats;
  context.Note(Concat({u"target: ", context.targetDir, upgrade ? u" (an upgrade)" : u""}));
  InstallProblems problems(hwnd, texts.title, silent_, context.log);
  // The uninstaller goes in last: until the old version's files are gone,
  // the old one stays their record.
  const std::u16string uninstallerSide = TemporaryFileName(GetCurrentProcessId() ^ GetTickCount());
  bool uninstallerWritten = false;
  if (std::unique_ptr<TreeOutput> output = OpenTreeOutput(context.targetDir.c_str(), &problems)) {
    ProgressWindow progress(hwnd, WM_SETUP_PROGRESS, kProgressIntervalMs);
    ExtractOptions options;
    options.rootPathUnits = context.targetDir.size();
    options.progress = &progress;
    options.observer = &problems;
    options.decodeWorkers = kDecodeWorkersAuto;
    DeferringTreeOutput deferring(*output, product_.present ? Utf8ToWide(UNINSTALLER_NAME) : u"",
                                  uninstallerSide);
    stats = ExtractTree(*packageFile, package.treeOffset, deferring, options);
    uninstallerWritten = deferring.Written();
  } else {
    stats.indexCutShort = true;
  }
  if (!stats.Clean()) {
    exitCode_ = SETUP_EXIT_INCOMPLETE;
  } else if (problems.RestartNeeded()) {
    exitCode_ = SETUP_EXIT_RESTART_NEEDED;
  }
  SetCurrentDirectoryW(AsWide(directory));

  ShowWindow(hwnd, SW_HIDE);
  // A full disk leaves part of the tree old and part new: the sections
  // would register, link and run a broken install.
  if (!stats.diskFull) {
    if (upgrade) RemoveWhatIsGone(previous);
    if (uninstallerWritten && !PlaceUninstaller(uninstallerSide)) exitCode_ = SETUP_EXIT_INCOMPLETE;
    InstallRecord record;
    context.record = &record;
    RunSections();
    context.record = nullptr;
    if (product_.Usable()) RegisterInstall(stats, record);
    if (!registered.empty() && stats.Clean()) MovedFrom(registered);
  } else if (uninstallerWritten) {
    DeleteFileW(AsWide(LongPathForm(Concat({context.targetDir, u"\\", uninstallerSide}))));
  }
  problems.ShowSummary();
  if (!SkipsRun()) Sleep(kFinalPauseMs);
  PostQuitMessage(0);
}

// An older version replaces the registered one only when someone says so:
// the user with the window, /ALLOWDOWNGRADE silently. Asked before anything
// is made; a No or a silent refusal ends the setup.
bool SetupApp::AcceptVersion() {
  if (!product_.Usable() || product_.version.empty() || command_.allowDowngrade) return true;
  const std::u16string installed = RegisteredVersion(product_);
  if (installed.empty() || CompareVersions(product_.version, WideToUtf8(installed)) >= 0) {
    return true;
  }
  const std::u16string older = Utf8ToWide(product_.version);
  if (!silent_ &&
      ShowInstallBox(hwnd,
                     Concat({installed, u" is installed; replace it with the older ", older, u"?"}),
                     texts.title, MB_YESNO | MB_ICONQUESTION) == IDYES) {
    return true;
  }
  context.Note(
      Concat({u"version ", older, u" is older than the installed ", installed,
              silent_ ? u": refused (/ALLOWDOWNGRADE installs it)" : u": cancelled by the user"}));
  exitCode_ = silent_ ? SETUP_EXIT_TARGET_UNUSABLE : SETUP_EXIT_CANCELLED;
  PostQuitMessage(0);
  return false;
}

void SetupApp::ShowProgressMode() {
  SetWindowTextW(StartButton.hwnd, AsWide(texts.busyCaption));
  ShowWindow(StartButton.hwnd, SW_HIDE);
  ShowWindow(TargetEdit.hwnd, SW_HIDE);
  ShowWindow(BrowseButton.hwnd, SW_HIDE);
  ShowWindow(ProgressBar.hwnd, SW_SHOW);
  SendMessageW(ProgressBar.hwnd, PBM_SETPOS, 0, 0);
  SetWindowTextW(StatusLabel.hwnd, nullptr);
}

// Back to choosing a folder, whatever mode the window started in: an
// automatic start with a folder that cannot be used needs the field too.
void SetupApp::ShowChoiceMode() {
  ShowWindow(ProgressBar.hwnd, SW_HIDE);
  SetWindowTextW(StatusLabel.hwnd, AsWide(texts.prompt));
  SetWindowTextW(StartButton.hwnd, AsWide(texts.startCaption));
  ShowWindow(TargetEdit.hwnd, SW_SHOW);
  if (texts.mode != TargetMode::kFixed) ShowWindow(BrowseButton.hwnd, SW_SHOW);
  ShowWindow(StartButton.hwnd, SW_SHOW);
  // Laid out afresh, so that the choice looks as it did at the start
  // (the start button centred) whatever the attempt changed.
  LayOut();
}

// The folder from the field, made absolute, created with every missing
// parent and made current. False when there is nothing usable to install
// into: every later step would otherwise work in whatever folder is current.
bool SetupApp::EnterTarget() {
  previousDirectory_ = CurrentDirectory();
  madeFolders_.clear();
  context.targetDir = TargetFromField(FullTargetPath(WindowText(TargetEdit.hwnd)));
  if (context.targetDir.empty()) return false;
  // Folders of the machine are not the user's: refused before any is made.
  if (context.perUser && IsMachineFolder(context.targetDir)) return true;
  madeFolders_ = MakeFolderChain(context.targetDir, context.perUser);
  return SetCurrentDirectoryW(AsWide(DirectoryForm(context.targetDir))) != 0;
}

void SetupApp::RefuseTarget(const std::u16string& why) {
  context.Note(Concat({u"target refused: ", why}));
  if (silent_) {
    // Nobody can choose again: end without a window. Later timer ticks
    // find the install started and only ask the loop to end.
    exitCode_ = SETUP_EXIT_TARGET_UNUSABLE;
    PostQuitMessage(0);
    return;
  }
  // The window was closed while the progress mode was painted: nobody is
  // left to choose.
  if (hwnd == nullptr) {
    PostQuitMessage(0);
    return;
  }
  ShowChoiceMode();
  ShowInstallBox(hwnd, why, texts.title, MB_OK | MB_ICONWARNING);
  InstallStarted = 0;
}

bool SetupApp::IsMachineFolder(const std::u16string& folder) const {
  wchar_t windows[MAX_PATH];
  const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  return IsWithinFolder(folder, context.folders[FOLDER_PROGRAM_FILES]) ||
         IsWithinFolder(folder, context.folders[FOLDER_PROGRAM_FILES_64]) ||
         (length > 0 && length < MAX_PATH &&
          IsWithinFolder(folder, std::u16string(reinterpret_cast<char16_t*>(windows), length)));
}

// A per-user install writes only where the user may: not in the machine's
// folders, and not where a first file cannot be made (it goes again at once).
bool SetupApp::MayWriteTarget() const {
  if (IsMachineFolder(context.targetDir)) return false;
  const std::u16string probe =
      LongPathForm(Concat({context.targetDir, u"\\", TemporaryFileName(GetCurrentProcessId())}));
  const HANDLE file = CreateFileW(AsWide(probe), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return true;
  }
  return GetLastError() != ERROR_ACCESS_DENIED;
}

// Before anything is written: a target whose volume cannot hold the tree is
// refused like one that cannot be used, with both figures, and the folders
// made for it are removed again.
bool SetupApp::HasRoomForTree() {
  const SpaceCheck space =
      MeasureSpace(*packageFile, package.treeOffset, context.targetDir, !madeFolders_.empty());
  if (space.Enough()) return true;
  LeaveTarget();
  RefuseTarget(NotEnoughSpaceText(context.targetDir, space.needed, space.free));
  return false;
}

// Back where the install started, without the folders it made (only while
// they are empty: nothing else is removed).
void SetupApp::LeaveTarget() {
  SetCurrentDirectoryW(AsWide(previousDirectory_));
  for (auto folder = madeFolders_.rbegin(); folder != madeFolders_.rend(); ++folder) {
    RemoveDirectoryW(AsWide(LongPathForm(*folder)));
  }
  madeFolders_.clear();
}

// An upgrade: what the installed version wrote and this one does not have
// goes, by the uninstaller's rules (a user's own files stay).
void SetupApp::RemoveWhatIsGone(const PackageTree& previous) {
  PackageTree current;
  if (!OpenPackageTree(*packageFile, package.treeOffset, &current) || current.damaged) return;
  FileList stuck;
  RemovePlannedFiles(context.targetDir,
                     PlanRemoval(previous, &current, context.targetDir.size(), u"", FoldForWindows),
                     &stuck, nullptr);
}

// The uninstaller, written under `side`, in its place. False when it could
// not be put there: the old one, if any, stays.
bool SetupApp::PlaceUninstaller(const std::u16string& side) {
  const std::u16string from = LongPathForm(Concat({context.targetDir, u"\\", side}));
  const std::u16string name = Utf8ToWide(UNINSTALLER_NAME);
  if (MoveFileExW(AsWide(from), AsWide(LongPathForm(Concat({context.targetDir, u"\\", name}))),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  DeleteFileW(AsWide(from));
  context.Note(Concat({u"could not put in place ", name}));
  return false;
}

// The entry among the installed programs, when the tree brought its
// uninstaller (a setup built with [product]). What the entry it replaces
// recorded and this install did not make goes, as the files this version
// no longer has did: shortcuts and values, and keys and group folders once
// empty. Its record keeps what is left of that (the keys an earlier version
// made and this one uses are still the product's) with what this install
// made.
void SetupApp::RegisterInstall(const ExtractStats& stats, const InstallRecord& made) {
  const std::u16string uninstaller =
      LongPathForm(Concat({context.targetDir, u"\\", Utf8ToWide(UNINSTALLER_NAME)}));
  const DWORD attributes = GetFileAttributesW(AsWide(uninstaller));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return;
  InstallRecord dropped;
  for (const std::u16string& line : ReadInstallRecord(product_)) {
    if (std::find(made.begin(), made.end(), line) == made.end()) dropped.push_back(line);
  }
  InstallRecord record = RemoveRecorded(dropped);
  for (const std::u16string& line : made) AddRecordLine(&record, line);
  RegisterProduct(product_, context.targetDir, context.localeName, stats.bytesWritten, record);
}

// The product was registered in `folder` and is now installed here: the
// install there goes as its uninstaller would take its files (what the user
// made stays), so that one entry describes one install. The uninstaller
// there stays while a file of its record cannot go, to finish with later.
void SetupApp::MovedFrom(const std::u16string& folder) {
  PackageTree record;
  if (SameFolder(folder, context.targetDir) || IsWithinFolder(folder, context.targetDir) ||
      IsWithinFolder(context.targetDir, folder) ||
      !ReadPreviousRecord(folder, product_.id, &record)) {
    return;
  }
  context.Note(Concat({u"moved from ", folder}));
  const std::u16string uninstaller = Utf8ToWide(UNINSTALLER_NAME);
  FileList stuck;
  RemovePlannedFiles(folder,
                     PlanRemoval(record, nullptr, folder.size(), uninstaller, FoldForWindows),
                     &stuck, nullptr);
  for (const std::u16string& path : stuck.shown) context.Note(Concat({u"could not remove ", path}));
  if (stuck.count != 0) return;
  const std::u16string batch = LongPathForm(Concat({folder, u"\\uninstall.bat"}));
  const DWORD attributes = GetFileAttributesW(AsWide(batch));
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0) {
    DeleteFileW(AsWide(batch));
  }
  DeleteFileW(AsWide(LongPathForm(Concat({folder, u"\\", uninstaller}))));
  RemoveDirectoryW(AsWide(LongPathForm(folder)));
}

// Waits while another setup or uninstaller of the product runs. False when
// this run gave up: it ends with SETUP_EXIT_BUSY.
bool SetupApp::TakeInstallLock(const std::u16string& caption) {
  if (!product_.Usable()) return true;
  // The timer's ticks would end the box (they ask the loop to end while an
  // install runs); the install has started, it has done its work.
  if (!silent_) KillTimer(hwnd, INSTALL_TIMER_ID);
  if (lock_.Take(product_, hwnd, caption, silent_, command_.lockWaitSeconds * 1000)) return true;
  context.Note(u"another installation or removal of the product is in progress");
  exitCode_ = SETUP_EXIT_BUSY;
  PostQuitMessage(0);
  return false;
}

void SetupApp::RunSections() {
  DoBinSection(context);
  DoUninstallSection(context);
  DoRegisterSection(context);
  DoRegister64Section(context);
  DoShortcutsSection(context);
  DoInstallSection(context);
  if (!SkipsRun()) {
    DoRunSection(context);
  } else if (FindSection(context.script, context.localeName, "run") != nullptr) {
    context.Note(u"run: skipped (/S)");
  }
}
