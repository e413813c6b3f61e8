// The installer's start, window and clean-up. The install itself is in
// install_driver.cpp.
#include "installer/win32/setup_app.h"

// After windows.h, which setup_app.h brings.
#include <commctrl.h>

#include "app/win32/module_path.h"
#include "base/utf8.h"
#include "base/win32/gdi_handles.h"
#include "installer/install_target.h"
#include "installer/setup_layout.h"
#include "installer/win32/product_registry.h"
#include "installer/win32/setup_messages.h"
#include "platform/win32/wide_text.h"

namespace {

constexpr DWORD kMainStyle = WS_CAPTION | WS_SYSMENU;  // no sizing frame, not visible yet
constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE;
constexpr DWORD kProgressStyle = WS_CHILD | PBS_SMOOTH;
constexpr int kIconResource = 100;
constexpr int kPercentMax = 100;

const char16_t* AsU16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

void Place(FrameWindow& window, const LayoutRect& rect) {
  window.SetPos(rect.x, rect.y, rect.width, rect.height, 0);
}

}  // namespace

SetupApp::~SetupApp() {
  if (PictureBitmap != nullptr) DeleteObject(PictureBitmap);
}

int SetupApp::InitInstance() {
  CreateWindows();
  InstallStarted = 0;
  command_ = ParseSetupCommand(AsU16(g_cmdLine));
  // Switches name a silent run before anything could show a box: with
  // nobody at the screen, a box would hold a deployment tool forever.
  silent_ = command_.silent;
  const bool boxes = !(silent_ && command_.kind == CommandKind::kSwitches);

  wchar_t path[kModulePathUnits];
  GetModulePath(path);
  OpenLog(AsU16(path), boxes);
  packageFile = OpenPackageFile(AsU16(path));
  if (!packageFile) return Fail(u"package: its file cannot be read", SETUP_EXIT_FAILED);
  package.stubPath = AsU16(path);
  switch (ReadPackageFrom(*packageFile, &package)) {
    case PACKAGE_VERIFIED:
      break;
    case PACKAGE_NONE:
      // A bare stub has nothing to install: end now rather than leave a
      // process without a window behind.
      PostQuitMessage(0);
      return 0;
    case PACKAGE_CORRUPTED:
      if (boxes) {
        MessageBoxW(hwnd, L"This file is corrupted", L"Error", MB_OK | MB_ICONERROR | MB_TOPMOST);
      }
      return Fail(u"package: damaged", SETUP_EXIT_FAILED);
    case PACKAGE_UNREADABLE:
      return Fail(u"package: its file cannot be read", SETUP_EXIT_FAILED);
  }
  if (hwnd == nullptr) return Fail(u"the window cannot be made", SETUP_EXIT_FAILED);
  context.script = ScriptText{package.script.bytes, package.script.length};
  if (command_.kind == CommandKind::kHelp || command_.kind == CommandKind::kRefused) {
    const int answer = AnswerCommand();
    return answer == 0 ? 0 : Fail(Concat({u"switch refused: ", command_.refused}), answer);
  }
  if (package.treeMethod == TREE_METHOD_RECORD) return RunUninstall();

  ApplyLocaleTexts();
  const Product plain = ReadPlainProduct(package.script.bytes, package.script.length);
  product_ = ReadProductSection(context.script, context.localeName);
  product_.id = plain.id;
  product_.scope = plain.scope;
  context.perUser = product_.Usable() && product_.PerUser();
  context.withProduct = plain.present;
  context.folders = ReadFolderValues(context.perUser);
  context.Note(Concat({u"locale variant: ",
                       context.localeName.text.empty() ? std::u16string(u"(the plain sections)")
                                                       : Utf8ToWide(context.localeName.text),
                       context.perUser ? u"; scope: user" : u"; scope: machine"}));
  SetWindowTextW(TargetEdit.hwnd, AsWide(DefaultTarget()));
  LoadBackgroundPicture();
  LayOut();
  if (silent_) {
    StartSilently();
  } else {
    ShowWindow(hwnd, showCommand);
    UpdateWindow(hwnd);
  }
  return 0;
}

// The folder the field starts with: the one given on the command line, else
// the registered one of an installed version (an upgrade goes where it is),
// else the script's, its folder names expanded; a per-user install whose
// script gives none goes to the user's own programs folder.
std::u16string SetupApp::DefaultTarget() const {
  if (!command_.folder.empty()) return command_.folder;
  if (product_.Usable()) {
    std::u16string registered = RegisteredLocation(product_);
    if (!registered.empty()) return registered;
  }
  if (texts.targetDir.find(u'%') != std::u16string::npos) {
    return ExpandFolderVariables(texts.targetDir, context.folders);
  }
  if (context.perUser && texts.targetDir.empty()) {
    return Concat({context.folders[FOLDER_LOCAL_APP_DATA], u"\\Programs\\",
                   Utf8ToWide(product_.name.empty() ? product_.id : product_.name)});
  }
  return texts.targetDir;
}

// /? lists the switches; an unknown one is refused rather than taken for a
// folder ("/X" would be "\X" on the current drive).
int SetupApp::AnswerCommand() {
  if (command_.kind == CommandKind::kHelp) {
    MessageBoxW(hwnd, AsWide(SwitchesHelpText()), L"Setup", MB_OK | MB_ICONINFORMATION);
    PostQuitMessage(0);
    return 0;
  }
  if (!silent_) {
    const std::u16string text =
        Concat({u"Unknown switch: ", command_.refused, u"\n\n", SwitchesHelpText()});
    MessageBoxW(hwnd, AsWide(text), L"Setup", MB_OK | MB_ICONWARNING);
  }
  return SETUP_EXIT_TARGET_UNUSABLE;
}

// With /LOG=, the log, and what this program is and was told.
// A link where the log goes is refused, and the run goes on without it.
void SetupApp::OpenLog(const std::u16string& self, bool boxes) {
  if (command_.logFile.empty()) return;
  const InstallLog::Opened opened = log_.Open(command_.logFile);
  if (opened == InstallLog::Opened::kLink && boxes) {
    const std::u16string text =
        Concat({u"No log is written: ", command_.logFile,
                u" is a link, another name of a file, or lies in a linked folder."});
    MessageBoxW(hwnd, AsWide(text), L"Setup", MB_OK | MB_ICONWARNING);
  }
  if (opened != InstallLog::Opened::kYes) return;
  context.log = &log_;
  // The version is the one of CMakeLists.txt.
  log_.Note(
      Concat({u"setup ", Utf8ToWide(SETUP_VERSION),
              sizeof(void*) == 8 ? u" (64-bit): " : u" (32-bit): ", self, u" ", AsU16(g_cmdLine)}));
}

// Before the window and the package: a box, or under /S the log.
int SetupApp::OnUnansweredInstance() {
  constexpr char16_t kWhy[] =
      u"This setup program is running already and does not answer; try again later.";
  command_ = ParseSetupCommand(AsU16(g_cmdLine));
  if (command_.silent && command_.kind == CommandKind::kSwitches) {
    wchar_t path[kModulePathUnits];
    GetModulePath(path);
    OpenLog(AsU16(path), false);
    return Fail(kWhy, SETUP_EXIT_UNANSWERED);
  }
  MessageBoxW(nullptr, AsWide(kWhy), L"Setup", MB_OK | MB_ICONWARNING);
  return SETUP_EXIT_UNANSWERED;
}

// An end before the message loop: logged, then the exit code.
int SetupApp::Fail(const std::u16string& why, int exitCode) {
  log_.Note(why);
  log_.Close(exitCode);
  return exitCode;
}

int SetupApp::ExitInstance() {
  log_.Close(exitCode_);
  package.script = SetupScript();
  if (PictureBitmap != nullptr) {
    DeleteObject(PictureBitmap);
    PictureBitmap = nullptr;
  }
  return exitCode_;
}

// The caption's height at `dpi`: Windows 10 1607 and later say it for any
// DPI; before, every window has the system's.
int SetupApp::CaptionHeight(unsigned dpi) {
  using MetricsForDpi = int(WINAPI*)(int, UINT);
  const auto forDpi = reinterpret_cast<MetricsForDpi>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"user32"), "GetSystemMetricsForDpi")));
  return forDpi != nullptr ? forDpi(SM_CYCAPTION, dpi) : GetSystemMetrics(SM_CYCAPTION);
}

// Moved to a screen of another scale: the font, the layout and the picture
// follow, and the window goes where the system suggests.
void SetupApp::OnDpiChanged(unsigned dpi, const RECT* suggested) {
  if (dpi == 0 || dpi == dpi_) return;
  dpi_ = dpi;
  ToolkitScaleFont(dpi_);
  LayOut();
  if (suggested != nullptr) {
    SetWindowPos(hwnd, nullptr, suggested->left, suggested->top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  InvalidateRect(hwnd, nullptr, TRUE);
}

void SetupApp::CreateWindows() {
  Create(nullptr, L"Setup", kMainStyle, nullptr, nullptr);
  PicturePane.Create(nullptr, nullptr, kChildStyle, hwnd, nullptr);
  StatusLabel.Create(kClassStatic, nullptr, kChildStyle, hwnd, nullptr);
  TargetEdit.Create(kClassEdit, nullptr, kChildStyle, hwnd, nullptr);
  BrowseButton.Create(kClassButton, L"...", kChildStyle, hwnd, nullptr);
  ProgressBar.Create(kClassProgress, nullptr, kProgressStyle, hwnd, nullptr);
  StartButton.Create(kClassButton, L"Start", kChildStyle, hwnd, nullptr);
  WindowIcon = LoadIconW(g_hInstance, MAKEINTRESOURCEW(kIconResource));
  // At the system's DPI the font stays the stock one, as it always was.
  dpi_ = WindowDpi(hwnd);
  if (dpi_ != SystemDpi()) ToolkitScaleFont(dpi_);
  SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(WindowIcon));
}

void SetupApp::ApplyLocaleTexts() {
  context.localeName = BuildLocaleName();
  texts = ReadLocaleTexts(context.script, &context.localeName);
  SetWindowTextW(hwnd, AsWide(texts.title));
  SetWindowTextW(StatusLabel.hwnd, AsWide(texts.prompt));
  if (texts.mode == TargetMode::kFixed) {
    EnableWindow(TargetEdit.hwnd, FALSE);
    ShowWindow(BrowseButton.hwnd, SW_HIDE);
  } else if (texts.mode == TargetMode::kAutomatic) {
    ShowWindow(TargetEdit.hwnd, SW_HIDE);
    ShowWindow(BrowseButton.hwnd, SW_HIDE);
    ShowWindow(StartButton.hwnd, SW_HIDE);
    SetTimer(hwnd, INSTALL_TIMER_ID, kAutomaticStartMs, nullptr);
  }
  SetWindowTextW(TargetEdit.hwnd, AsWide(texts.targetDir));
  SetWindowTextW(StartButton.hwnd, AsWide(texts.startCaption));
}

void SetupApp::LayOut() {
  LayoutInput input;
  input.dpi = static_cast<int32_t>(dpi_);
  input.pictureWidth = ScaleForDpi(PictureWidth, input.dpi);
  input.pictureHeight = ScaleForDpi(PictureHeight, input.dpi);
  input.lineHeight = TextHeight(nullptr);
  input.captionHeight = CaptionHeight(dpi_);
  input.screenWidth = GetSystemMetrics(SM_CXSCREEN);
  input.screenHeight = GetSystemMetrics(SM_CYSCREEN);
  const SetupLayout layout = ComputeSetupLayout(input);
  Place(PicturePane, layout.picture);
  Place(*this, layout.window);
  Place(StatusLabel, layout.status);
  Place(TargetEdit, layout.target);
  Place(BrowseButton, layout.browse);
  Place(ProgressBar, layout.progress);
  Place(StartButton, layout.start);
}

void SetupApp::StartSilently() {
  // Made absolute when the install starts, as a typed folder is. Switches
  // without a folder keep the field: the registered or the script's folder.
  if (command_.kind == CommandKind::kFolder) {
    SetWindowTextW(TargetEdit.hwnd, AsWide(command_.folder));
  }
  ShowWindow(BrowseButton.hwnd, SW_HIDE);
  ShowWindow(StartButton.hwnd, SW_HIDE);
  silent_ = true;
  // Replaces the automatic start's timer: both have the same id. /S waits
  // for nothing; the plain folder form keeps its pause.
  SetTimer(hwnd, INSTALL_TIMER_ID, command_.kind == CommandKind::kSwitches ? 0 : kSilentStartMs,
           nullptr);
}

LRESULT SetupApp::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window == PicturePane.hwnd && message == WM_PAINT) {
    PaintPicture();
    return 1;
  }
  if (window == hwnd) {
    switch (message) {
      case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && lParam != 0) {
          const auto control = reinterpret_cast<HWND>(lParam);
          if (control == BrowseButton.hwnd) {
            BrowseForTarget();
            return 1;
          }
          if (control == StartButton.hwnd) {
            DoInstall();
            return 1;
          }
        }
        break;
      case WM_TIMER:
        DoInstall();
        return 1;
      case WM_CLOSE:
        // Closed before the install began: nothing is written. A setup of
        // an application ([product]) says so with its exit code.
        if (InstallStarted == 0 && context.withProduct &&
            package.treeMethod != TREE_METHOD_RECORD) {
          context.Note(u"cancelled by the user");
          exitCode_ = SETUP_EXIT_CANCELLED;
        }
        break;
      case WM_SETUP_PROGRESS:
        return OnProgress(wParam, lParam);
      case WM_DPICHANGED:
        OnDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
      default:
        break;
    }
  }
  return FrameWindow::WindowProc(window, message, wParam, lParam);
}

void SetupApp::PaintPicture() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(PicturePane.hwnd, &paint);
  if (dc == nullptr) return;
  if (HDC memory = CreateCompatibleDC(dc)) {
    {
      const SelectGuard select(memory, PictureBitmap);
      const int width = ScaleForDpi(PictureWidth, static_cast<int32_t>(dpi_));
      const int height = ScaleForDpi(PictureHeight, static_cast<int32_t>(dpi_));
      if (width == PictureWidth && height == PictureHeight) {
        BitBlt(dc, 0, 0, PictureWidth, PictureHeight, memory, 0, 0, SRCCOPY);
      } else {
        // Averaged, not dropped or doubled pixels: sharp enough at 150 %.
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, 0, 0, width, height, memory, 0, 0, PictureWidth, PictureHeight, SRCCOPY);
      }
    }
    DeleteDC(memory);
  }
  EndPaint(PicturePane.hwnd, &paint);
}

LRESULT SetupApp::OnProgress(WPARAM kind, LPARAM value) {
  switch (kind) {
    case PROGRESS_TEXT:
      SetWindowTextW(StatusLabel.hwnd, reinterpret_cast<const wchar_t*>(value));
      break;
    case PROGRESS_FILE_NAME: {
      if (value == 0) break;
      std::u16string text = texts.filePrefix;
      text.append(1, u' ').append(reinterpret_cast<const char16_t*>(value));
      SetWindowTextW(StatusLabel.hwnd, AsWide(text));
      break;
    }
    case PROGRESS_PERCENT: {
      const LPARAM position = value <= 0 ? 0 : (value > kPercentMax ? kPercentMax : value);
      SendMessageW(ProgressBar.hwnd, PBM_SETPOS, static_cast<WPARAM>(position), 0);
      break;
    }
    default:
      break;
  }
  return 1;
}
