// A minimal program on the application shell for instance_guard_test, which
// starts copies of it several times. It records to the file named by
// GUARD_PROBE_LOG one line per event: "start" when it initialises, each
// forwarded text as received, "exit" at the end of its loop. It ends on the
// forwarded text "repeat stop" or after GUARD_PROBE_LIFETIME_MS (a minute by
// default). GUARD_PROBE_DELAY_MS makes it busy (not pumping) for that long
// after "start"; GUARD_PROBE_INIT_RESULT is what its initialisation returns.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/win32/app_base.h"

namespace {

constexpr UINT kDefaultLifetimeMs = 60000;

void Record(const char* line) {
  wchar_t path[MAX_PATH];
  if (GetEnvironmentVariableW(L"GUARD_PROBE_LOG", path, MAX_PATH) == 0) return;
  if (FILE* file = _wfopen(path, L"ab")) {  // shared: the test reads it meanwhile
    fprintf(file, "%s\n", line);
    fclose(file);
  }
}

DWORD NumberSetting(const wchar_t* name, DWORD fallback) {
  wchar_t value[16];
  if (GetEnvironmentVariableW(name, value, 16) == 0) return fallback;
  return static_cast<DWORD>(wcstoul(value, nullptr, 10));
}

void CALLBACK EndOfLife(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(2); }

class ProbeApp : public AppBase {
 public:
  int InitInstance() override {
    Record("start");
    Sleep(NumberSetting(L"GUARD_PROBE_DELAY_MS", 0));
    SetTimer(nullptr, 0, NumberSetting(L"GUARD_PROBE_LIFETIME_MS", kDefaultLifetimeMs), EndOfLife);
    return static_cast<int>(NumberSetting(L"GUARD_PROBE_INIT_RESULT", 0));
  }
  int ExitInstance() override {
    Record("exit");
    return 0;
  }
  void OnForwardedCommand(const char* text) override {
    Record(text);
    if (strcmp(text, "repeat stop") == 0) PostQuitMessage(0);
  }
};

ProbeApp theApp;

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int showCommand) {
  return RunApplication(instance, commandLine, showCommand);
}
