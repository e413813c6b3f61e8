// The stub's entry: guards the DLL search path, then runs the installer,
// the process's one application object.
#include <windows.h>

#include "app/win32/app_base.h"
#include "installer/win32/setup_app.h"

namespace {

// A setup program is usually started from a downloads folder, where anyone
// can have left a DLL named like one Windows loads on demand (version.dll,
// uxtheme.dll, ...). From here on every DLL, including those system DLLs load
// on our behalf, comes from System32 only. Systems without the call (Windows
// 7 before KB2533623) are looked up at run time, not imported, so that the
// stub still starts there.
void RestrictDllSearchToSystem32() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  FARPROC address = GetProcAddress(kernel, "SetDefaultDllDirectories");
  if (address == nullptr) return;
  // Through void (*)(), the one pointer type GCC lets any function cast to.
  auto restrict =
      reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void (*)()>(address));
  restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// Built before the entry runs; it makes itself the process's application.
SetupApp theApp;

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand) {
  RestrictDllSearchToSystem32();
  return RunApplication(instance, commandLine, showCommand);
}
