// The installer: the process's one application object and, at the same
// time, the setup window with its six controls. It reads the package, shows
// the localised window (or none, for a silent install), and runs the install
// when "Start" is clicked or its timer fires.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/win32/app_base.h"
#include "installer/command_line.h"
#include "installer/locale_texts.h"
#include "installer/win32/install_lock.h"
#include "installer/win32/install_log.h"
#include "package/package_reader.h"
#include "package/tree_walker.h"
#include "platform/input_file.h"
#include "script/product_section.h"
#include "script/win32/script_actions.h"
#include "ui/win32/toolkit.h"

// The setup window's one timer: the silent and the automatic start.
inline constexpr UINT_PTR INSTALL_TIMER_ID = 100;
inline constexpr UINT kSilentStartMs = 2000;  // the plain folder form; /S starts at once
inline constexpr UINT kAutomaticStartMs = 500;

// The process exit codes of the installer.
enum SetupExitCode : int {
  // Another start of the same file runs and does not answer.
  SETUP_EXIT_UNANSWERED = -1,
  SETUP_EXIT_DONE = 0,
  SETUP_EXIT_FAILED = 1,  // a damaged or unreadable package
  // Silent: the folder cannot be made or entered, or its disk is too small;
  // an unknown switch; the uninstaller's question answered No.
  SETUP_EXIT_TARGET_UNUSABLE = 2,
  SETUP_EXIT_INCOMPLETE = 3,  // some entry of the tree was skipped or not written
  // A setup with [product] whose window was closed before the install
  // began, or whose downgrade was answered No: nothing was written. Windows
  // Installer's "cancelled by the user", which deployment tools know.
  SETUP_EXIT_CANCELLED = 1602,
  // Installed, but a file in use is replaced when Windows restarts (the
  // code deployment tools read as "done, restart needed").
  SETUP_EXIT_RESTART_NEEDED = 3010,
  // Another installation or removal of the product runs and this one gave up
  // waiting (the code deployment tools read as "another installation is in
  // progress").
  SETUP_EXIT_BUSY = 1618,
};

class SetupApp : public FrameWindow, public AppBase {
 public:
  SetupApp() = default;
  ~SetupApp() override;

  LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
  int InitInstance() override;
  int ExitInstance() override;
  int OnUnansweredInstance() override;

  // The whole install, once; a later call only ends the message loop.
  void DoInstall();
  // The uninstaller's whole run (a package whose tree is a record).
  int RunUninstall();

  FrameWindow PicturePane;
  FrameWindow StatusLabel;
  FrameWindow TargetEdit;
  FrameWindow BrowseButton;
  FrameWindow ProgressBar;
  FrameWindow StartButton;
  HICON WindowIcon = nullptr;
  HBITMAP PictureBitmap = nullptr;
  int32_t PictureWidth = 0;  // the bitmap's own size; shown scaled for the DPI
  int32_t PictureHeight = 0;
  PackageInfo package;  // the script, the tree offset and our own path
  // Our own file, open from the start to the end of the run so that nobody
  // can change or replace it: the package is verified and installed through
  // this one handle, never read by its name again.
  std::unique_ptr<InputFile> packageFile;
  int32_t InstallStarted = 0;
  LocaleTexts texts;
  // What the script's actions read: the script, LocaleName and TargetDir.
  ScriptActionContext context;

 private:
  void CreateWindows();
  void ApplyLocaleTexts();
  void LoadBackgroundPicture();
  HBITMAP DecodePackagePicture();
  void LayOut();
  void StartSilently();
  int AnswerCommand();
  void OpenLog(const std::u16string& self, bool boxes);
  int Fail(const std::u16string& why, int exitCode);
  std::u16string DefaultTarget() const;
  void RemoveWhatIsGone(const PackageTree& previous);
  bool PlaceUninstaller(const std::u16string& side);
  void RegisterInstall(const ExtractStats& stats, const InstallRecord& made);
  void MovedFrom(const std::u16string& folder);
  void RemoveSelf(const std::u16string& folder);
  void BrowseForTarget();
  void PaintPicture();
  LRESULT OnProgress(WPARAM kind, LPARAM value);
  void OnDpiChanged(unsigned dpi, const RECT* suggested);
  static int CaptionHeight(unsigned dpi);

  // Install steps.
  bool AcceptVersion();
  // /S: what [run] starts would wait for nobody; the plain folder form runs
  // it as it always did.
  bool SkipsRun() const { return silent_ && command_.kind == CommandKind::kSwitches; }
  void ShowProgressMode();
  void ShowChoiceMode();
  bool EnterTarget();
  void RefuseTarget(const std::u16string& why);
  bool IsMachineFolder(const std::u16string& folder) const;
  bool MayWriteTarget() const;
  bool HasRoomForTree();
  void LeaveTarget();
  void RunSections();
  bool TakeInstallLock(const std::u16string& caption);

  SetupCommand command_;
  InstallLog log_;     // open with /LOG=
  InstallLock lock_;   // of the product, while this run changes anything
  Product product_;    // [product] of the locale variant in use
  unsigned dpi_ = 96;  // the window's: what the layout, font and picture are scaled for
  bool silent_ = false;
  int exitCode_ = SETUP_EXIT_DONE;
  // The folders EnterTarget made, outermost first, and the current
  // directory before it: what a refused target gives back.
  std::vector<std::u16string> madeFolders_;
  std::u16string previousDirectory_;
};
