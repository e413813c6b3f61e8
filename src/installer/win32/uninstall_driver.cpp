// The uninstaller: the stub whose package holds a record of what its setup
// installs. It asks (unless silent), runs [uninstall], removes the recorded
// files and then their empty folders, the batch file the install left, the
// shortcuts and registry values the script and the entry's record name, the
// keys and group folders the record names once empty, and the entry among
// the installed programs; then itself and the install folder, when empty. The
// entry, shortcuts and values stay when the entry names another folder.
// Whatever the package's record says, it touches nothing outside its own
// folder but what the script's shortcut and registry lines and the entry's
// record name, and no file of the tree the package's record does not list.
#include <windows.h>

#include <string>

#include "base/utf8.h"
#include "installer/removal_plan.h"
#include "installer/win32/install_problems.h"
#include "installer/win32/previous_install.h"
#include "installer/win32/product_registry.h"
#include "installer/win32/progress_window.h"
#include "installer/win32/setup_app.h"
#include "installer/win32/tree_removal.h"
#include "platform/temporary_name.h"
#include "platform/win32/wide_text.h"
#include "platform/windows_path.h"

namespace {

constexpr DWORD kProgressIntervalMs = 30;

bool IsPlainFile(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(AsWide(path));
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

}  // namespace

int SetupApp::RunUninstall() {
  const std::u16string& self = package.stubPath;
  const std::u16string folder = self.substr(0, self.rfind(u'\\'));
  const Product plain = ReadPlainProduct(package.script.bytes, package.script.length);
  const std::string& id = plain.id;
  // The variant the install used, so that its sections are undone.
  if (!RegisteredLocale(plain, &context.localeName)) context.localeName = BuildLocaleName();
  texts = ReadLocaleTexts(context.script, &context.localeName);
  product_ = ReadProductSection(context.script, context.localeName);
  product_.id = plain.id;
  product_.scope = plain.scope;
  context.targetDir = folder;
  context.perUser = plain.PerUser();
  context.withProduct = plain.present;
  context.folders = ReadFolderValues(context.perUser);
  const std::u16string caption =
      Utf8ToWide(product_.name.empty() ? (id.empty() ? std::string("Setup") : id) : product_.name);
  SetWindowTextW(hwnd, AsWide(caption));

  if (!silent_) {
    if (ShowInstallBox(hwnd, RemovePromptText(product_, folder), caption,
                       MB_YESNO | MB_ICONQUESTION) != IDYES) {
      exitCode_ = SETUP_EXIT_TARGET_UNUSABLE;
      PostQuitMessage(0);
      return 0;
    }
    if (!TakeInstallLock(caption)) return 0;
    ShowWindow(PicturePane.hwnd, SW_HIDE);
    LayOut();
    ShowProgressMode();
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
  }

  if (silent_ && !TakeInstallLock(caption)) return 0;
  context.Note(Concat({u"uninstall: ", folder}));
  // The entry is this install's only when it names this folder: an install
  // of the product in another folder keeps it, and the shortcuts and values
  // its own install made again. Only then does its record count.
  const std::u16string registered = RegisteredLocation(plain);
  const bool othersEntry = !registered.empty() && !SameFolder(registered, folder);
  const InstallRecord made = othersEntry ? InstallRecord() : ReadInstallRecord(plain);
  if (othersEntry) context.Note(Concat({u"the entry is the install in ", registered}));
  SetCurrentDirectoryW(AsWide(DirectoryForm(folder)));
  WriteBatchSection(context, UninstallRunSection());
  FileList stuck;
  PackageTree record;
  if (OpenPackageTree(*packageFile, package.treeOffset, &record) && !record.damaged) {
    ProgressWindow progress(hwnd, WM_SETUP_PROGRESS, kProgressIntervalMs);
    RemovePlannedFiles(
        folder,
        PlanRemoval(record, nullptr, folder.size(), Utf8ToWide(UNINSTALLER_NAME), FoldForWindows),
        &stuck, silent_ ? nullptr : &progress);
  }
  // The batch file the install left, when [uninstall] did not replace it.
  const std::u16string batch = LongPathForm(Concat({folder, u"\\uninstall.bat"}));
  if (IsPlainFile(batch)) DeleteFileW(AsWide(batch));
  if (!othersEntry) {
    UndoShortcutsSection(context);
    UndoRegisterSection(context);
    // What any version recorded, its script's lines or not.
    RemoveRecorded(made);
  }
  ShowWindow(hwnd, SW_HIDE);
  for (const std::u16string& path : stuck.shown) context.Note(Concat({u"could not remove ", path}));
  if (stuck.count == 0) {
    if (!othersEntry) UnregisterProduct(plain);
    RemoveSelf(folder);
    exitCode_ = SETUP_EXIT_DONE;
  } else {
    // The entry and this program stay, so that the user can finish the
    // removal once the files are free.
    context.Note(u"the uninstaller and its entry stay");
    exitCode_ = SETUP_EXIT_INCOMPLETE;
    if (!silent_) ShowInstallBox(hwnd, RemovalSummaryText(stuck), caption, MB_OK | MB_ICONWARNING);
  }
  PostQuitMessage(0);
  return 0;
}

// A running program cannot delete its own file, but it can move it: out of
// the folder into the temporary folder, where the next restart deletes it,
// so that the folder can go now. Where that move cannot be made (another
// volume), the file and the folder go at the next restart.
void SetupApp::RemoveSelf(const std::u16string& folder) {
  packageFile.reset();  // our handle shares no delete: it would stop the move
  wchar_t system[MAX_PATH];
  if (GetSystemDirectoryW(system, MAX_PATH) != 0) SetCurrentDirectoryW(system);
  const std::u16string self = LongPathForm(package.stubPath);
  wchar_t temp[MAX_PATH];
  const DWORD length = GetTempPathW(MAX_PATH, temp);
  bool moved = false;
  if (length != 0 && length < MAX_PATH) {
    const std::u16string parked = reinterpret_cast<const char16_t*>(temp) +
                                  TemporaryFileName(GetCurrentProcessId() ^ GetTickCount());
    moved = MoveFileExW(AsWide(self), AsWide(parked), 0) != 0;
    if (moved) MoveFileExW(AsWide(parked), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
  if (!moved) MoveFileExW(AsWide(self), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  const std::u16string directory = LongPathForm(folder);
  // Only an empty folder goes: a user's file in it keeps it.
  if (!RemoveDirectoryW(AsWide(directory)) && !moved) {
    MoveFileExW(AsWide(directory), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}
