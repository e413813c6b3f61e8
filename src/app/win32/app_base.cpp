#include "app/win32/app_base.h"

#include <string>

#include "app/win32/instance_guard.h"
#include "app/win32/module_path.h"
#include "base/utf8.h"
#include "ui/win32/toolkit.h"

AppBase* g_app = nullptr;
HINSTANCE g_hInstance = nullptr;
const wchar_t* g_cmdLine = L"";

namespace {

constexpr wchar_t kQuitRequest[] = L"---quit";
// Gives the running instance time to act on a quit request before the
// caller (typically an uninstaller) goes on.
constexpr DWORD kQuitGraceMs = 2000;

bool IsQuitRequest(const wchar_t* commandLine) { return lstrcmpW(commandLine, kQuitRequest) == 0; }

}  // namespace

int RunApplication(HINSTANCE instance, const wchar_t* commandLine, int showCommand) {
  g_cmdLine = commandLine != nullptr ? commandLine : L"";
  g_hInstance = instance;
  if (g_app == nullptr) return -1;  // a program without an application object
  g_app->showCommand = showCommand;
  return g_app->Run();
}

AppBase::AppBase() { g_app = this; }

void AppBase::OnForwardedCommand(const char*) {}

int AppBase::OnUnansweredInstance() { return -1; }

int AppBase::Run() {
  wchar_t path[kModulePathUnits];
  GetModulePath(path);  // on failure the guard falls back to its fixed name
  int running = ProbeRunningInstance(path);
  if (running == 1) return RunSecondStart();
  if (running != 0) return OnUnansweredInstance();
  return RunFirstStart();
}

int AppBase::RunSecondStart() {
  if (IsQuitRequest(g_cmdLine)) {
    ForwardCommand("---quit");
    Sleep(kQuitGraceMs);
    return 1;
  }
  std::string text = "repeat";
  if (g_cmdLine[0] != L'\0') {
    text += ' ';
    text += WideToUtf8(reinterpret_cast<const char16_t*>(g_cmdLine));
  }
  ForwardCommand(text.c_str());
  return 1;
}

int AppBase::RunFirstStart() {
  if (IsQuitRequest(g_cmdLine)) return 1;  // nothing runs that could stop
  if (OpenCommandChannel() != 0) return -1;
  ToolkitInit(g_hInstance);
  int result = InitInstance();
  if (result == 0) {
    MessageLoop();
    result = ExitInstance();
  }
  ToolkitShutdown();
  CloseCommandChannel();
  return result;
}

void AppBase::MessageLoop() {
  MSG message;
  // -1 (an invalid filter) cannot happen without a window filter; treat it
  // as the end rather than spinning.
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (g_app->PreTranslateMessage(&message) != 0) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

int AppBase::PreTranslateMessage(MSG* message) {
  // The message's own window first, then its parents: the first registered
  // one answers for the whole chain.
  for (HWND window = message->hwnd; window != nullptr; window = GetParent(window)) {
    if (FrameWindow* object = FrameWindow::FromHandle(window)) {
      return object->PreTranslateMessage(message);
    }
  }
  return 0;
}
