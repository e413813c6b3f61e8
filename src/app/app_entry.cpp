#include "app/app_entry.h"

#include "app/app_base.h"
#include "app/app_globals.h"

int RunApplication(HINSTANCE instance, const wchar_t* commandLine, int showCommand) {
  g_cmdLine = commandLine != nullptr ? commandLine : L"";
  g_hInstance = instance;
  if (g_app == nullptr) return -1;  // a program without an application object
  g_app->showCommand = showCommand;
  return g_app->Run();
}
