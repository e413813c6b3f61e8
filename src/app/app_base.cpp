#include "app/app_base.h"

#include <string>

#include "app/app_globals.h"
#include "app/instance_guard.h"
#include "app/module_path.h"
#include "base/utf8.h"
#include "ui/toolkit.h"

namespace {

constexpr wchar_t kQuitRequest[] = L"---quit";
// Gives the running instance time to act on a quit request before the
// caller (typically an uninstaller) goes on.
constexpr DWORD kQuitGraceMs = 2000;

bool IsQuitRequest(const wchar_t* commandLine) { return lstrcmpW(commandLine, kQuitRequest) == 0; }

}  // namespace

AppBase::AppBase() { g_app = this; }

void AppBase::OnForwardedCommand(const char*) {}

int AppBase::Run() {
  wchar_t path[kModulePathUnits];
  GetModulePath(path);  // on failure the guard falls back to its fixed name
  int running = ProbeRunningInstance(path);
  if (running == 1) return RunSecondStart();
  if (running != 0) return -1;
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
  ToolkitInit();
  int result = InitInstance();
  if (result == 0) {
    MessageLoop();
    result = ExitInstance();
  }
  ToolkitShutdown();
  CloseCommandChannel();
  return result;
}
